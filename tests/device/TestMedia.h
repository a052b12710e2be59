#pragma once
#include <QImage>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Media for the device tests, made once per build folder and kept there: a tone WAV written
// here, everything else with the ffmpeg CLI. Several test processes may ask at once; a lock
// file makes one of them build the set.
//
//   tone.wav        2 s, 44.1 kHz stereo 16-bit, 1 kHz sine at half amplitude
//   tone.mp3        2 s sine with an ID3v1 tag
//   video.mpg       MPEG-1 program stream, 320x240, 25 fps, 4 s (100 frames), MP2 sound;
//                   every frame a different hue
//   videoonly.mpeg  the same picture without sound
//   mpeg2.mpeg      MPEG-2 program stream with MP2 sound, 2 s
//   vcd.dat         Video CD stream (MPEG-1, 352x288), 2 s
//   clip.avi clip.mov clip.asf clip.rmp   2 s with picture and sound
//   tone.wma tone.ra                      2 s sound only
std::string MediaPath(const std::string& name);

// Frame n of a file with a picture, decoded by ffmpeg, as 0xffRRGGBB pixels (cached).
QImage DecodedFrame(const std::string& name, int n);

// Mean absolute difference per channel (0..255) of two images of the same size; 255 when
// the sizes differ.
double MeanDifference(const QImage& a, const QImage& b);

// Root mean square of raw signed 16-bit samples in a file (0 when missing or empty).
double PcmRms(const std::string& path);

// Runs the Qt event loop until `done` holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

// Writes a 16-bit stereo sine WAV.
void WriteToneWav(const std::string& path, double seconds, double frequency, double amplitude);
