#pragma once
// A serial queue: blocks run one at a time, in the order given. The threaded kind owns a named
// worker thread; the inline kind runs each block at once on the caller (deterministic tests).

#include "platform/MainQueue.h"

#include <memory>
#include <string>

namespace kx {

class SerialQueue {
public:
    virtual ~SerialQueue() = default;
    /// Queues block; returns at once (the inline kind runs it first).
    virtual void async(Block block) = 0;
    /// Blocks the caller until every block queued so far has run.
    virtual void waitUntilIdle() = 0;

    /// A queue with its own worker thread, named label. Destroying it runs what is queued, then joins.
    static std::unique_ptr<SerialQueue> threaded(std::string label);
    static std::unique_ptr<SerialQueue> inlineQueue();
};

/// Pauses the calling thread; tests inject one that returns at once (or records).
using Sleeper = std::function<void(double seconds)>;
Sleeper realSleeper();

}  // namespace kx
