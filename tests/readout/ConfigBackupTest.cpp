// The box's configuration saved to a file from the window's menu.
#include <QAction>

#include "config/ConfigFile.h"
#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

TEST_F(ReadoutTest, TheConfigurationReadIsSavedAsTheBoxHoldsIt) {
    const QString path = workDir.path() + "/backup.ini";
    form->askConfigPath_ = [&] { return path; };
    // Nothing read yet: nothing to save, and the operator is told how to get it.
    showAndStart();
    form->saveConfigMMI->trigger();
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().contains(QStringLiteral("test łącza RS")));
    EXPECT_FALSE(QFile::exists(path));

    startCycle(box);
    // The link start read one box; then the link was lost and another box of the kind answers
    // on the port. What is saved is read from the box now, between two position requests.
    BoxConfig other = box;
    other.calibration = {0.5L, -0.123456L, 1.0L};
    other.codes = {5, 6, 7};
    other.types = 0x04;
    other.lineCounts = {4000, 0, 3600};
    prompts.whileDialogOpen = [&](QDialog&) { answerConfiguration(other); };
    form->saveConfigMMI->trigger();
    replyPositions(0, 0, 0);
    EXPECT_EQ(prompts.messages.last(),
              QStringLiteral("Konfigurację urządzenia zapisano w pliku %1.").arg(path));
    const boxconfig::ReadResult saved = boxconfig::loadConfigFile(path.toStdString());
    ASSERT_TRUE(saved.config) << saved.error;
    EXPECT_EQ(saved.config->deviceKind, kind());
    EXPECT_EQ(saved.config->calibrationMillionths,
              (std::array<std::int32_t, 3>{500000, -123456, 1000000}));
    EXPECT_EQ(saved.config->resolutionCodes, (std::array<int, 3>{5, 6, 7}));
    EXPECT_EQ(saved.config->dimensionTypes, 0x04);
    // A count of 0 as the box sent it, not the window's stand-in.
    EXPECT_EQ(saved.config->lineCounts, (std::array<std::int32_t, 3>{4000, 0, 3600}));
}

}  // namespace
}  // namespace readouttest
