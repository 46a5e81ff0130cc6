#pragma once
// The shared state behind the raw image writer's threads. A few page-aligned chunk buffers
// travel, never copied, from the one party that fills them (in sequence: 0, 1, 2, ...) to
// the parties that use them, and come back once each of those has released them. Every
// published chunk is also cut into pieces of a fixed size, and each piece gets its own
// SHA-256 on one of the digest workers, kept by sequence number. One mutex guards all of
// it; stop() makes every wait return at once.
//
// Chunk contents are written only by the filling party before publish() and read by the
// others only after their wait returned the chunk, so the mutex orders every access.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "Bytes/Sha256.hpp"
#include "Block/AlignedBuffer.hpp"

namespace marlowick {

class ChunkPipeline {
public:
    struct Chunk {
        std::int64_t sequence = -1;
        std::int64_t filled = 0;             // bytes of data at the buffer's start
        std::optional<std::string> failure;  // why filling stopped, if it failed
    };

    // `users`: the releases a published chunk waits for before its buffer is free again,
    // the digest worker's included. Starts `digestWorkers` (at least one) threads, which
    // digest each chunk's data `pieceBytes` (at least 1) at a time.
    ChunkPipeline(std::vector<AlignedBuffer> buffers, int users, int digestWorkers, std::int64_t pieceBytes);
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;
    // Stops and joins the digest workers.
    ~ChunkPipeline();

    // A free buffer's slot, waiting for one; nothing once stopped.
    [[nodiscard]] std::optional<std::size_t> acquire();
    [[nodiscard]] bool hasFreeBuffer();
    // The slot's whole buffer, for the party that acquired it.
    [[nodiscard]] std::span<std::uint8_t> buffer(std::size_t slot) { return buffers[slot].bytes(); }
    // Hands the filled slot on as the next sequence number. A failed chunk is not digested.
    void publish(std::size_t slot, std::int64_t filled, std::optional<std::string> failure);
    // No chunk follows the last one published.
    void finish();

    // The slot holding `sequence` once it is published; nothing when stopped, or when
    // filling finished before it.
    [[nodiscard]] std::optional<std::size_t> waitFor(std::int64_t sequence);
    // The same, once its digest is taken as well.
    [[nodiscard]] std::optional<std::size_t> waitDigested(std::int64_t sequence);
    [[nodiscard]] const Chunk& chunk(std::size_t slot) const { return chunks[slot]; }
    [[nodiscard]] std::span<const std::uint8_t> data(std::size_t slot) const;
    // One user is done with the slot.
    void release(std::size_t slot);

    void stop();
    // Waits until filling has finished and every published chunk is digested; false when
    // stopped first.
    [[nodiscard]] bool waitAllDigested();
    // The pieces' digests taken so far, chunk after chunk in sequence (none for a chunk not
    // yet digested or a failed one).
    [[nodiscard]] std::vector<Sha256::Digest> digests();
    // One chunk's pieces' digests, in order.
    [[nodiscard]] std::vector<Sha256::Digest> digests(std::int64_t sequence);

private:
    void digestLoop();
    void releaseLocked(std::size_t slot);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<AlignedBuffer> buffers;
    std::vector<Chunk> chunks;
    std::vector<int> pendingUsers;
    std::vector<std::size_t> freeSlots;
    std::map<std::int64_t, std::size_t> published;  // sequence → slot, until its buffer is free
    std::vector<std::vector<Sha256::Digest>> digestsBySequence;
    std::vector<bool> digested;
    int users;
    std::int64_t pieceBytes;
    std::int64_t publishedCount = 0;
    std::int64_t nextToDigest = 0;
    std::int64_t digestedCount = 0;
    bool finished = false;
    bool stopped = false;
    std::vector<std::thread> workers;
};

}  // namespace marlowick
