#include "serial/VaPrst.h"

namespace serial {

void TVaPersistent::EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
    Changed();
}

void TVaPersistent::Changed() {
    if (updateCount_ != 0) return;
    if (auto handler = OnChange) handler();
}

void TVaBuffers::Assign(const TVaBuffers& other) {
    if (&other == this) return;
    BeginUpdate();
    readSize_ = other.readSize_;
    writeSize_ = other.writeSize_;
    ReadTimeout = other.ReadTimeout;
    WriteTimeout = other.WriteTimeout;
    EndUpdate();
}

void TVaFlowControl::Assign(const TVaFlowControl& other) {
    if (&other == this) return;
    BeginUpdate();
    outCtsFlow_ = other.outCtsFlow_;
    outDsrFlow_ = other.outDsrFlow_;
    controlDtr_ = other.controlDtr_;
    controlRts_ = other.controlRts_;
    xonXoffOut_ = other.xonXoffOut_;
    xonXoffIn_ = other.xonXoffIn_;
    dsrSensitivity_ = other.dsrSensitivity_;
    txContinueOnXoff_ = other.txContinueOnXoff_;
    EndUpdate();
}

void TVaEventChars::Assign(const TVaEventChars& other) {
    if (&other == this) return;
    BeginUpdate();
    xonChar_ = other.xonChar_;
    xoffChar_ = other.xoffChar_;
    errorChar_ = other.errorChar_;
    eventChar_ = other.eventChar_;
    eofChar_ = other.eofChar_;
    EndUpdate();
}

}  // namespace serial
