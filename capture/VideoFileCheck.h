// Whether a video file that ffmpeg says it has finished is whole. ffmpeg can
// end with status 0 after it failed to write the end of a file (a full disk
// or quota while writing the trailer): an .mp4 without its index ("moov"),
// a .mkv or .webm whose segment runs past the end of the file. Reading the
// file's outer structure catches those before the file takes its name.
#pragma once

#include <string>

// fd: the file, open for reading; format: mp4, matroska or webm. False with
// what is wrong in problem.
bool videoFileComplete(int fd, const std::string& format, std::string& problem);
