#include "platform/LayoutThread.h"

#include <QTextDocument>
#include <QThread>

namespace platform {

LayoutThread::LayoutThread(const QPaintDevice &device, int widthPx)
    : m_metrics(device), m_widthPx(widthPx)
{
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->start();
    // Without a thread (the system refused one) chunks are laid out as they
    // are handed over, on the caller's thread.
    m_inline = !m_thread->isRunning();
}

LayoutThread::~LayoutThread()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (!m_inline)
        m_thread->wait();
}

void LayoutThread::submit(ChunkSource source)
{
    if (m_inline) {
        Done done;
        try {
            done.chunk = layOutChunk(source, &m_metrics, m_widthPx);
        } catch (...) {
            done.error = std::current_exception();
        }
        m_done.push_back(std::move(done));
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_sources.push_back(std::move(source));
    }
    m_changed.notify_all();
}

std::unique_ptr<Chunk> LayoutThread::take()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_done.empty(); });
    Done done = std::move(m_done.front());
    m_done.pop_front();
    lock.unlock();
    if (done.error)
        std::rethrow_exception(done.error);
    return std::move(done.chunk);
}

void LayoutThread::giveBack(std::unique_ptr<Chunk> chunk)
{
    if (!chunk || m_inline)
        return; // deleted here
    {
        const std::lock_guard lock(m_mutex);
        m_givenBack.push_back(std::move(chunk));
    }
    m_changed.notify_all();
}

void LayoutThread::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock,
                       [this] { return m_stop || !m_sources.empty() || !m_givenBack.empty(); });
        // Documents are deleted outside the lock, on this thread, which made them.
        std::deque<std::unique_ptr<Chunk>> unused = std::move(m_givenBack);
        m_givenBack.clear();
        if (m_stop) {
            for (Done &done : m_done)
                unused.push_back(std::move(done.chunk));
            m_done.clear();
            lock.unlock();
            unused.clear();
            return;
        }
        if (m_sources.empty()) {
            lock.unlock();
            unused.clear();
            lock.lock();
            continue;
        }
        const ChunkSource source = std::move(m_sources.front());
        m_sources.pop_front();
        lock.unlock();
        unused.clear();
        std::unique_ptr<Chunk> chunk;
        std::exception_ptr error;
        try {
            chunk = layOutChunk(source, &m_metrics, m_widthPx);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_done.push_back({std::move(chunk), error});
        m_changed.notify_all();
    }
}

} // namespace platform
