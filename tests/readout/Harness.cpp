#include "tests/readout/Harness.h"

#include "link/WireFormats.h"

namespace readouttest {

ReadoutTest::ReadoutTest() {
    form = std::make_unique<TmainForm>(service, prompts, clock);
    breakForm = std::make_unique<TbreakForm>();
    logoForm = std::make_unique<TlogoForm>();
    helpForm = std::make_unique<ThelpForm>();
    paramsForm = std::make_unique<TparamsForm>(service, prompts, clock);
    coordForm = std::make_unique<TcoordForm>(service, prompts, clock);
    form->attachWindows(*breakForm, *logoForm, *helpForm, *paramsForm, *coordForm);
}

ReadoutTest::~ReadoutTest() {
    coordForm.reset();
    paramsForm.reset();
    helpForm.reset();
    logoForm.reset();
    breakForm.reset();
    form.reset();
}

int ReadoutTest::kind() const {
    return wire::deviceKindFromReadiness(box.readiness);
}

void ReadoutTest::showAndStart() {
    form->show();
    clock.advance(100 + TRS232Service::QuietLineMs);
}

void ReadoutTest::startOrRestartLink() {
    if (!form->isVisible()) {
        showAndStart();
        return;
    }
    form->COMClick(1);
    clock.advance(100 + TRS232Service::QuietLineMs);
}

std::uint8_t ReadoutTest::lastCommand() {
    const auto written = device->takeWritten();
    return written.empty() ? 0 : written.back();
}

std::vector<std::uint8_t> ReadoutTest::calibrationReply() const {
    std::vector<std::uint8_t> reply(12);
    for (std::size_t i = 0; i < 3; ++i) {
        if (kind() == 1)
            wire::EncodeDecimal24(box.calibration[i], &reply[4 * i]);
        else
            wire::writeMicro(&reply[4 * i], box.calibration[i]);
    }
    return reply;
}

std::vector<std::uint8_t> ReadoutTest::resolutionReply() const {
    if (kind() == 1) return {box.codes[0], box.codes[1], box.codes[2]};
    std::vector<std::uint8_t> reply(4);
    wire::encodeResolutionFrame({box.codes[0], box.codes[1], box.codes[2], box.types},
                                reply.data());
    return reply;
}

std::vector<std::uint8_t> ReadoutTest::lineCountsReply() const {
    const std::size_t width = kind() == 1 ? 3 : 4;
    std::vector<std::uint8_t> reply(3 * width);
    for (std::size_t i = 0; i < 3; ++i) {
        if (width == 3)
            wire::writeInt24(&reply[3 * i], box.lineCounts[i]);
        else
            wire::writeInt32(&reply[4 * i], box.lineCounts[i]);
    }
    return reply;
}

std::vector<std::uint8_t> ReadoutTest::correctionsReply() const {
    static TCorrectionTable tables[3];
    for (int axis = 0; axis < 3; ++axis)
        for (int row = 1; row <= box.correctionRows; ++row)
            tables[axis][row] = {row * 100.0L * (axis + 1), row * 100.0L * (axis + 1) + row};
    std::vector<std::uint8_t> reply(std::size_t(wire::correctionBlockSize(box.correctionRows)));
    wire::encodeCorrectionBlock(box.correctionRows, box.correctionFlags, tables[0], tables[1],
                                tables[2], reply.data());
    return reply;
}

std::vector<std::uint8_t> ReadoutTest::answerConfiguration(const BoxConfig& config) {
    box = config;
    if (service.State() == ReplyState::rsQuietLine) clock.advance(TRS232Service::QuietLineMs);
    std::vector<std::uint8_t> commands;
    for (int step = 0; step < 10; ++step) {
        const std::uint8_t command = lastCommand();
        if (command == 0) break;
        commands.push_back(command);
        switch (command) {
            case 0xE9:
                device->receive(std::vector<std::uint8_t>{box.readiness});
                break;
            case 0xE5:
                device->receive(calibrationReply());
                break;
            case 0xE6:
                device->receive(resolutionReply());
                break;
            case 0xE8:
                device->receive(std::vector<std::uint8_t>{box.types});
                break;
            case 0xE7:
                device->receive(lineCountsReply());
                break;
            case 0xE4:
                device->receive(correctionsReply());
                break;
            default:
                return commands;
        }
    }
    return commands;
}

void ReadoutTest::replyPositions(std::int32_t x, std::int32_t y, std::int32_t z) {
    const std::int32_t counts[] = {x, y, z};
    std::vector<std::uint8_t> reply(4 * std::size_t(service.AxisCount));
    for (std::size_t i = 0; i < service.AxisCount; ++i) wire::writeInt32(&reply[4 * i], counts[i]);
    device->receive(reply);
}

void ReadoutTest::startCycle(const BoxConfig& config) {
    showAndStart();
    const auto commands = answerConfiguration(config);
    ASSERT_EQ(lastOf(commands), 0xE1) << "the cycle did not start";
}

}  // namespace readouttest
