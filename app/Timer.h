// The clock that drives the timeline: seconds since the last start, read from
// the system's monotonic high-resolution counter.
//
// The field widths are deliberate: readings count from the program's first
// reading of the counter (not from the machine's boot), the count-to-seconds
// factor and the start reading are single precision, and elapsed time is
// formed in double precision and only then rounded to float. That keeps
// frame-to-frame differences exact to microseconds while every elapsed value
// of a run shares one constant offset, kept tiny because readings taken soon
// after the program starts are small numbers.
#pragma once

#include <cstdint>

class Timer {
public:
    Timer();

    // Makes later elapsed() values count from now.
    void start();
    // The current reading in seconds since the program's first reading (double,
    // not rounded to float).
    double now();
    // Seconds since the last start(), rounded to float; remembered as lastElapsed.
    float elapsed();
    // Seconds since the last elapsed() reading; changes nothing but the raw count.
    double delta();

    float lastElapsedValue() const { return lastElapsed; }
    float startReading() const { return startTime; }

private:
    int64_t count = 0;
    int64_t frequency = 0;
    float secondsPerCount = 0.0f;
    float startTime = 0.0f;
    float lastElapsed = 0.0f;
};
