// Frames of a folder capture, compressed to PNG and written on worker threads.
// Compressing a frame takes several times longer than drawing it, so the
// frame loop hands each frame over and goes on drawing while the workers
// compress earlier ones, one per core. Every frame's file is the same
// whichever worker makes it.
#pragma once

#include "capture/OutputFiles.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PngWorkers {
public:
    // Frames of width x height RGB pixels, written into folder.
    PngWorkers(FrameFolder& folder, int width, int height);
    // Stops the workers; frames still queued are dropped.
    ~PngWorkers();
    PngWorkers(const PngWorkers&) = delete;
    PngWorkers& operator=(const PngWorkers&) = delete;

    // Queues a copy of frame i, waiting while the workers are a few frames
    // behind. False once a frame has failed (see finish for the reason).
    bool add(std::int64_t i, const unsigned char* rgb);
    // Waits until every queued frame is written. False with the first failure.
    bool finish(std::string& error);

private:
    struct Job {
        std::int64_t index;
        std::vector<unsigned char> rgb;
    };
    void work();
    void stop();

    FrameFolder& folder;
    const int width;
    const int height;
    const std::size_t maxQueued;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Job> queue;
    int busy = 0;
    bool stopping = false;
    std::string failure;
    std::vector<std::thread> threads;
};
