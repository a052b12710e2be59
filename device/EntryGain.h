#pragma once
#include <cstdint>
#include <string>

struct mpv_handle;

// The gain of one entry of libmpv's playlist, heard from its first sample to its last: a volume
// filter in that entry's own audio filter chain. libmpv builds the chain when the entry starts,
// behind the last sample of the entry before, so at a gapless change of track the gain switches
// at the sample (0 samples off, measured on a null sink). libmpv's own gains (volume,
// replaygain) act at the output, where the entry before is still queued: they switch up to the
// output's latency early (measured: 8725 samples at 30 ms). The wave volume acts there on top.
//
// Gains are in hundredths of a dB (DeviceCommand's unit). Command thread of the device only.

// The value of libmpv's "af" that applies the gain, in the form libmpv reads it back
// ("@velkaf-gain:lavfi=graph=%14%volume=-6.02dB"); empty for 0: the entry plays as it is.
std::string EntryGainFilter(int32_t hundredths);

// The per-file options of `loadfile <file> append|replace <options>` that give that entry the
// gain; empty for 0. Once the entry ends, libmpv restores the options for the next one.
std::string EntryGainOptions(int32_t hundredths);

enum class EntryGainChange { Unchanged, Changed, Refused };

// Gives the loaded entry the gain (`set ... gain`), for that entry only (libmpv's file-local
// options). An entry that has this gain already (it came with its cue) is left alone
// (Unchanged), so one that sounds is not disturbed. On Changed, what libmpv decoded ahead went
// through the old filter: the caller reads the entry again from where it stands (a seek) so
// that the first sample heard has the gain.
EntryGainChange ApplyEntryGain(mpv_handle* handle, int32_t hundredths);
