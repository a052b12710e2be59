#pragma once
#include <QImage>
#include <functional>
#include <string>

// Media for the device tests, made when first asked for and kept in the build folder (a lock
// keeps test processes from making one twice): tone.wav (2 s, 1 kHz, half amplitude) written
// here, the rest by ffmpeg as TestMedia.cpp's recipes say (long.mp3 20 s, others 1, 2 or 4 s).
// Pictures: testsrc2, 320x240 at 25 fps, hue turning 37 degrees a frame (neighbours differ).
std::string MediaPath(const std::string& name);
// Frame n of a file with a picture, decoded by ffmpeg, as 0xffRRGGBB pixels (cached).
QImage DecodedFrame(const std::string& name, int n);
// Runs the Qt event loop until `done` holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
void WriteToneWav(const std::string& path, double seconds, double frequency, double amplitude);
