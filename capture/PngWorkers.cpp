// A small pool over one queue: the frame loop waits when the queue is full,
// a worker waits when it is empty, and the first failure stops everything.
#include "capture/PngWorkers.h"

#include "assets/PngEncode.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace {

// Frames are material for other tools more often than pictures to keep:
// zlib's level 3 compresses them about twice as fast as its default, for
// files a fifth larger.
constexpr int compression = 3;

// One worker per core; the drawing, on its own threads, shares them.
unsigned workerCount()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

} // namespace

PngWorkers::PngWorkers(FrameFolder& frameFolder, int frameWidth, int frameHeight)
    : folder(frameFolder), width(frameWidth), height(frameHeight), maxQueued(2 * workerCount())
{
    // Where the system gives fewer threads than cores (a process limit, an
    // address-space limit too tight for their stacks), the frames are written
    // by those it gave; with none at all the capture fails, saying why.
    for (unsigned i = 0; i < workerCount(); ++i) {
        try {
            threads.emplace_back([this] { work(); });
        } catch (const std::system_error& e) {
            if (threads.empty())
                failure = std::string("cannot start a worker thread: ") + e.what();
            break;
        }
    }
}

PngWorkers::~PngWorkers()
{
    stop();
}

bool PngWorkers::add(std::int64_t i, const unsigned char* rgb)
{
    const std::size_t bytes = static_cast<std::size_t>(width) * height * 3;
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [this] { return queue.size() < maxQueued || !failure.empty(); });
    if (!failure.empty())
        return false;
    queue.push_back(Job{i, std::vector<unsigned char>(rgb, rgb + bytes)});
    changed.notify_all();
    return true;
}

bool PngWorkers::finish(std::string& error)
{
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [this] { return (queue.empty() && busy == 0) || !failure.empty(); });
        error = failure;
    }
    stop();
    return error.empty();
}

void PngWorkers::stop()
{
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        queue.clear();
    }
    changed.notify_all();
    for (std::thread& thread : threads)
        if (thread.joinable())
            thread.join();
    threads.clear();
}

void PngWorkers::work()
{
    std::vector<unsigned char> png;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait(hold, [this] { return stopping || !queue.empty(); });
            if (stopping)
                return;
            job = std::move(queue.front());
            queue.pop_front();
            ++busy;
        }
        changed.notify_all(); // room in the queue
        std::string reason;
        bool written = false;
        // An exception must not leave a worker: it would end the program with
        // the frames written so far left behind.
        try {
            written = encodePng(job.rgb.data(), static_cast<unsigned>(width), static_cast<unsigned>(height), 3, png,
                                compression);
            if (!written)
                reason = "cannot encode frame " + std::to_string(job.index);
            else
                written = folder.write(job.index, png, reason);
        } catch (const std::bad_alloc&) {
            reason = "out of memory while compressing frame " + std::to_string(job.index);
            png = std::vector<unsigned char>(); // what it held, given back
        }
        {
            std::lock_guard<std::mutex> hold(lock);
            --busy;
            if (!written && failure.empty())
                failure = reason;
        }
        changed.notify_all();
    }
}
