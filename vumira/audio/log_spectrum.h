// The log-band spectrum, a mode beside the exact analysis: bands evenly
// spaced in octaves, levels in dB of full scale. The recording keeps the
// newest `points` samples; once per frame interval of sound they are
// windowed (Hann, its energy corrected), transformed, summed into the
// bands, optionally A-weighted and lifted by the automatic gain, and become
// bars and peak markers with the exact mode's attack, decay and fall.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "signal/bands.h"
#include "signal/log_spectrum_state.h"

namespace vumira {

// The log bands record at this rate, 16-bit mono: it holds every band up to
// 16 kHz and beyond with room to spare.
inline constexpr DWORD kLogRecordingRate = 48000;
// One recording buffer holds 5 ms of sound: frames follow the sound closely.
inline constexpr DWORD kLogBufferBytes = kLogRecordingRate / 200 * 2;

// The automatic gain: rises at most this fast while the loudest band lies
// below the target, falls at once so that no band passes full scale, and
// holds while the programme is quieter than the gate (silence, hiss).
inline constexpr double kGainTargetDb = -3.0;
inline constexpr double kGainRiseDbPerSecond = 15.0;
inline constexpr double kGainMaxDb = 60.0;
inline constexpr double kGainProgrammeGateDb = -60.0;
// The envelope the gain follows falls this fast, so the gap between two
// beats does not lift the gain (no pumping).
inline constexpr double kGainEnvelopeFallDbPerSecond = 6.0;
// Bands below this level before the gain are silence and stay empty.
inline constexpr double kSilenceDb = -100.0;

// The log bands of the present settings and window size (the paint and the
// analysis ask alike).
LogBands currentLogBands();
// The recording's format and buffer while the log bands are chosen.
WAVEFORMATEX logRecordingFormat();
// Makes the tables for the chosen transform length and clears the history.
// Allocates; runs on the user-interface thread before the capture starts.
// Returns false when memory runs out: the capture then records for the
// exact analysis.
bool prepareLogSpectrum();
// One recorded buffer of 16-bit samples, on the wave-in thread.
void analyseLogBuffer(const unsigned char* bytes, unsigned count);

}  // namespace vumira
