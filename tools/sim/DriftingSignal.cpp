#include "sim/DriftingSignal.h"

#include <algorithm>
#include <array>
#include <random>

namespace {

constexpr unsigned short kRssiEcioObject = 0x1065;

struct Drift {
    int start, lowest, highest, step;
};
// CDMA RSSI, CDMA Ec/Io, HDR RSSI, HDR Ec/Io, RSSI as magnitudes.
constexpr std::array<Drift, 4> kDrifts = {{
    {88, 65, 108, 2},
    {8, 2, 20, 1},
    {78, 60, 104, 2},
    {4, 1, 16, 1},
}};

}  // namespace

SimulatedModem::Answer signalReply(unsigned short cdmaRssi, unsigned short cdmaEcio,
                                   unsigned short hdrRssi, unsigned short hdrEcio) {
    Bytes parameter;
    for (const unsigned short value : {cdmaRssi, cdmaEcio, hdrRssi, hdrEcio}) {
        const Bytes bytes = value16(value);
        parameter.insert(parameter.end(), bytes.begin(), bytes.end());
    }
    return SimulatedModem::reply(kRssiEcioObject, parameter);
}

std::vector<SimulatedModem::Answer> driftingSignal(std::size_t turns, std::size_t missEvery,
                                                   unsigned seed) {
    std::minstd_rand random(seed);
    std::array<int, 4> values;
    std::vector<std::array<int, 4>> walk;
    for (std::size_t i = 0; i < kDrifts.size(); ++i) {
        values[i] = kDrifts[i].start;
    }
    // Out for half the turns, then the same way back.
    for (std::size_t turn = 0; turn < turns / 2; ++turn) {
        walk.push_back(values);
        for (std::size_t i = 0; i < kDrifts.size(); ++i) {
            const Drift& drift = kDrifts[i];
            std::uniform_int_distribution<int> step(-drift.step, drift.step);
            values[i] = std::clamp(values[i] + step(random), drift.lowest, drift.highest);
        }
    }
    const std::vector<std::array<int, 4>> back(walk.rbegin(), walk.rend());
    walk.insert(walk.end(), back.begin(), back.end());
    std::vector<SimulatedModem::Answer> answers;
    for (std::size_t turn = 0; turn < walk.size(); ++turn) {
        const auto& v = walk[turn];
        const bool missed = missEvery != 0 && (turn + 1) % missEvery == 0;
        answers.push_back(missed ? SimulatedModem::mute()
                                 : signalReply(static_cast<unsigned short>(v[0]),
                                               static_cast<unsigned short>(v[1]),
                                               static_cast<unsigned short>(v[2]),
                                               static_cast<unsigned short>(v[3])));
    }
    return answers;
}
