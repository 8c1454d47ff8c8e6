#pragma once

#include <cstdint>
#include <functional>

namespace serial {

using TVaIntW = std::int32_t;

// Base of the port's settings groups: every setter stores a new value only when it differs and then
// notifies OnChange, unless an update is open (BeginUpdate ... EndUpdate notifies once at the end).
class TVaPersistent {
public:
    virtual ~TVaPersistent() = default;
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    std::function<void()> OnChange;

protected:
    void Changed();
    template <typename T>
    void setField(T& field, const T& value) {
        if (field == value) return;
        field = value;
        Changed();
    }

private:
    std::int32_t updateCount_ = 0;
};

class TVaBuffers : public TVaPersistent {
public:
    TVaIntW ReadSize() const { return readSize_; }
    void SetReadSize(TVaIntW v) { setField(readSize_, v); }
    TVaIntW WriteSize() const { return writeSize_; }
    void SetWriteSize(TVaIntW v) { setField(writeSize_, v); }
    // Plain fields: no notification, may change at any time.
    TVaIntW ReadTimeout = 1000;
    TVaIntW WriteTimeout = 1000;

    // Copies every field inside one update, so one notification results.
    void Assign(const TVaBuffers& other);

private:
    TVaIntW readSize_ = 4096;
    TVaIntW writeSize_ = 2048;
};

enum class TVaControlDtr { dtrDisabled, dtrEnabled, dtrHandshake };
enum class TVaControlRts { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };

class TVaFlowControl : public TVaPersistent {
public:
    bool OutCtsFlow() const { return outCtsFlow_; }
    void SetOutCtsFlow(bool v) { setField(outCtsFlow_, v); }
    bool OutDsrFlow() const { return outDsrFlow_; }
    void SetOutDsrFlow(bool v) { setField(outDsrFlow_, v); }
    TVaControlDtr ControlDtr() const { return controlDtr_; }
    void SetControlDtr(TVaControlDtr v) { setField(controlDtr_, v); }
    TVaControlRts ControlRts() const { return controlRts_; }
    void SetControlRts(TVaControlRts v) { setField(controlRts_, v); }
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool v) { setField(xonXoffOut_, v); }
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool v) { setField(xonXoffIn_, v); }
    bool DsrSensitivity() const { return dsrSensitivity_; }
    void SetDsrSensitivity(bool v) { setField(dsrSensitivity_, v); }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool v) { setField(txContinueOnXoff_, v); }

    void Assign(const TVaFlowControl& other);

private:
    bool outCtsFlow_ = false;
    bool outDsrFlow_ = false;
    TVaControlDtr controlDtr_ = TVaControlDtr::dtrDisabled;
    TVaControlRts controlRts_ = TVaControlRts::rtsDisabled;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
};

class TVaEventChars : public TVaPersistent {
public:
    std::uint8_t XonChar() const { return xonChar_; }
    void SetXonChar(std::uint8_t v) { setField(xonChar_, v); }
    std::uint8_t XoffChar() const { return xoffChar_; }
    void SetXoffChar(std::uint8_t v) { setField(xoffChar_, v); }
    std::uint8_t ErrorChar() const { return errorChar_; }
    void SetErrorChar(std::uint8_t v) { setField(errorChar_, v); }
    std::uint8_t EventChar() const { return eventChar_; }
    void SetEventChar(std::uint8_t v) { setField(eventChar_, v); }
    std::uint8_t EofChar() const { return eofChar_; }
    void SetEofChar(std::uint8_t v) { setField(eofChar_, v); }

    void Assign(const TVaEventChars& other);

private:
    std::uint8_t xonChar_ = 0x11;
    std::uint8_t xoffChar_ = 0x13;
    std::uint8_t errorChar_ = 0;
    std::uint8_t eventChar_ = 0;
    std::uint8_t eofChar_ = 0;
};

}  // namespace serial
