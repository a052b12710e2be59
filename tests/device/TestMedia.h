#pragma once
#include <QImage>
#include <functional>
#include <string>

// Media for the device tests, made when first asked for and kept in the build folder (a lock
// keeps test processes from making one twice): tone.wav written here, the rest by ffmpeg.
// Pictures: testsrc2, 320x240 at 25 fps, hue turning 37 degrees a frame (neighbours differ).
//   2 s: tone.wav tone.mp3 (ID3v1) tone.wma tone.ra; mpeg2.mpeg vcd.dat clip.avi clip.mov
//        clip.asf clip.rmp; 4 s: video.mpg (MPEG-1, MP2), videoonly.mpeg, stream.mpg (raw video
//        stream, states no length)
//   1 s: clip.mp4 (H.264, B-frames) clip.m4v (H.265, no sound) clip.mkv (AV1) clip.webm (VP9)
//        clip.wmv clip.flv clip.ogv; tone.m4a .aac .flac .ogg .oga .opus .mka .wv .mp2;
//        cover.mp3 (cover picture) stream.mp3 (no header frame, no tag); long.mp3: 20 s
std::string MediaPath(const std::string& name);
// Frame n of a file with a picture, decoded by ffmpeg, as 0xffRRGGBB pixels (cached).
QImage DecodedFrame(const std::string& name, int n);
// Runs the Qt event loop until `done` holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// Writes a 16-bit stereo sine WAV.
void WriteToneWav(const std::string& path, double seconds, double frequency, double amplitude);
