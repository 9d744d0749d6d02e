#pragma once

#include "platform/DeviceMetrics.h"
#include "platform/PrintChunk.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

class QThread;

namespace platform {

// A thread that lays out a print job's chunks of paragraphs, in the order they
// are handed to it, while the job's own thread draws the pages already laid
// out. Each chunk's document is made, laid out and deleted on this thread;
// in between, the thread that took it may read it (draw its lines) while
// this thread works on other chunks.
class LayoutThread {
public:
    LayoutThread(const QPaintDevice &device, int widthPx);
    // Deletes every chunk it still has, then ends the thread. Chunks taken
    // must have been given back first.
    ~LayoutThread();
    LayoutThread(const LayoutThread &) = delete;
    LayoutThread &operator=(const LayoutThread &) = delete;

    void submit(ChunkSource source);
    // The next chunk laid out, waiting for it; rethrows what laying it out
    // threw. Only after as many submissions.
    std::unique_ptr<Chunk> take();
    // A chunk no longer drawn, to be deleted on this thread.
    void giveBack(std::unique_ptr<Chunk> chunk);

private:
    void run();

    DeviceMetrics m_metrics;
    int m_widthPx;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<ChunkSource> m_sources;
    struct Done {
        std::unique_ptr<Chunk> chunk;
        std::exception_ptr error; // what laying it out threw, instead of the chunk
    };
    std::deque<Done> m_done;
    std::deque<std::unique_ptr<Chunk>> m_givenBack;
    bool m_stop = false;
    bool m_inline = false; // no thread: chunks are laid out by submit()
    std::unique_ptr<QThread> m_thread;
};

} // namespace platform
