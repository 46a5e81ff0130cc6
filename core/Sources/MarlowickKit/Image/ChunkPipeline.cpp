#include "Image/ChunkPipeline.hpp"

#include <algorithm>

namespace marlowick {

ChunkPipeline::ChunkPipeline(std::vector<AlignedBuffer> ring, int chunkUsers, int digestWorkers, std::int64_t piece)
    : buffers(std::move(ring)),
      chunks(buffers.size()),
      pendingUsers(buffers.size(), 0),
      users(chunkUsers),
      pieceBytes(std::max<std::int64_t>(1, piece)) {
    for (std::size_t slot = buffers.size(); slot > 0; --slot) freeSlots.push_back(slot - 1);
    try {
        for (int i = 0; i < std::max(1, digestWorkers); ++i) workers.emplace_back([this] { digestLoop(); });
    } catch (...) {
        stop();
        for (std::thread& worker : workers) worker.join();
        throw;
    }
}

ChunkPipeline::~ChunkPipeline() {
    stop();
    for (std::thread& worker : workers) worker.join();
}

std::optional<std::size_t> ChunkPipeline::acquire() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return stopped || !freeSlots.empty(); });
    if (stopped) return std::nullopt;
    const std::size_t slot = freeSlots.back();
    freeSlots.pop_back();
    return slot;
}

bool ChunkPipeline::hasFreeBuffer() {
    const std::lock_guard lock(mutex);
    return !freeSlots.empty();
}

void ChunkPipeline::publish(std::size_t slot, std::int64_t filled, std::optional<std::string> failure) {
    {
        const std::lock_guard lock(mutex);
        chunks[slot] = Chunk{publishedCount, filled, std::move(failure)};
        pendingUsers[slot] = users;
        published.emplace(publishedCount, slot);
        digestsBySequence.emplace_back();
        digested.push_back(false);
        ++publishedCount;
    }
    changed.notify_all();
}

void ChunkPipeline::finish() {
    {
        const std::lock_guard lock(mutex);
        finished = true;
    }
    changed.notify_all();
}

std::optional<std::size_t> ChunkPipeline::waitFor(std::int64_t sequence) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return stopped || sequence < publishedCount || finished; });
    if (stopped || sequence >= publishedCount) return std::nullopt;
    return published.at(sequence);
}

std::optional<std::size_t> ChunkPipeline::waitDigested(std::int64_t sequence) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] {
        return stopped || (sequence < publishedCount && digested[static_cast<std::size_t>(sequence)]) ||
               (finished && sequence >= publishedCount);
    });
    if (stopped || sequence >= publishedCount) return std::nullopt;
    return published.at(sequence);
}

std::span<const std::uint8_t> ChunkPipeline::data(std::size_t slot) const {
    return buffers[slot].bytes().first(static_cast<std::size_t>(chunks[slot].filled));
}

void ChunkPipeline::release(std::size_t slot) {
    {
        const std::lock_guard lock(mutex);
        releaseLocked(slot);
    }
    changed.notify_all();
}

void ChunkPipeline::releaseLocked(std::size_t slot) {
    if (--pendingUsers[slot] > 0) return;
    published.erase(chunks[slot].sequence);
    freeSlots.push_back(slot);
}

void ChunkPipeline::stop() {
    {
        const std::lock_guard lock(mutex);
        stopped = true;
    }
    changed.notify_all();
}

bool ChunkPipeline::waitAllDigested() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return stopped || (finished && digestedCount == publishedCount); });
    return !stopped;
}

std::vector<Sha256::Digest> ChunkPipeline::digests(std::int64_t sequence) {
    const std::lock_guard lock(mutex);
    return digestsBySequence.at(static_cast<std::size_t>(sequence));
}

std::vector<Sha256::Digest> ChunkPipeline::digests() {
    const std::lock_guard lock(mutex);
    std::vector<Sha256::Digest> all;
    for (const std::vector<Sha256::Digest>& pieces : digestsBySequence) all.insert(all.end(), pieces.begin(), pieces.end());
    return all;
}

void ChunkPipeline::digestLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopped || nextToDigest < publishedCount || finished; });
        if (stopped || nextToDigest >= publishedCount) return;
        const std::int64_t sequence = nextToDigest++;
        const std::size_t slot = published.at(sequence);
        const Chunk& chunk = chunks[slot];
        std::vector<Sha256::Digest> pieces;
        if (!chunk.failure) {
            lock.unlock();
            const std::span<const std::uint8_t> bytes = data(slot);
            for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(pieceBytes)) {
                Sha256::Hasher hasher;
                hasher.update(bytes.subspan(at, std::min(bytes.size() - at, static_cast<std::size_t>(pieceBytes))));
                pieces.push_back(hasher.finalDigest());
            }
            lock.lock();
        }
        digestsBySequence[static_cast<std::size_t>(sequence)] = std::move(pieces);
        digested[static_cast<std::size_t>(sequence)] = true;
        ++digestedCount;
        releaseLocked(slot);
        changed.notify_all();
    }
}

}  // namespace marlowick
