#include <gtest/gtest.h>
#include <sys/resource.h>

#include "readout/Priority.h"

namespace {

int niceValue() {
    return getpriority(PRIO_PROCESS, 0);
}

TEST(PriorityTest, RaisedWhenAllowedAndPutBack) {
    const int before = niceValue();
    {
        PriorityBoost boost;
        boost.raise();
        // Without the privilege the raise does nothing and says so.
        EXPECT_EQ(niceValue() < before, boost.raised());
        if (boost.raised()) {
            EXPECT_EQ(niceValue(), -10);
        }
        boost.raise();  // a second raise changes nothing
        const int raised = niceValue();
        boost.restore();
        EXPECT_EQ(niceValue(), before);
        boost.raise();
        EXPECT_EQ(niceValue(), raised);
    }
    // The end of the boost puts the priority back too.
    EXPECT_EQ(niceValue(), before);
}

}  // namespace
