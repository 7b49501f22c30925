// The merge's inputs, fed to the encoder through named pipes while they are
// read out of the damaged file: one thread a pipe, so that the encoder may
// open and read its inputs in any order, and no full-size copy of the
// essence is ever written.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FileReader.h"
#include "platform/OutputPipe.h"
#include "platform/Platform.h"

namespace vexmend {

// Collects one input's bytes into large blocks and writes them to its pipe.
// With more than one block the blocks are lent to the pipe rather than
// copied into it, each filled again once the reader has read it.
// Throws FeedStopped when the reader closed its end or the feed was stopped.
class EssenceWriter {
public:
    struct FeedStopped {};
    static constexpr size_t kBlock = 1 << 20;

    EssenceWriter(platform::OutputPipe& pipe, const std::atomic<bool>& stop,
                  std::atomic<uint64_t>& written, size_t blocks = 1);

    void Write(const void* data, size_t size);
    void WriteZeros(uint64_t count);
    // Room for `size` bytes (at most kBlock) at the block's end, to be filled
    // and then counted in with Advance.
    uint8_t* Room(size_t size);
    void Advance(size_t size) { used += size; }
    void Flush();
    // Bytes taken so far, flushed or not.
    uint64_t Count() const { return flushed + used; }

private:
    uint8_t* Block() const { return memory.get() + current * kBlock; }

    platform::OutputPipe& pipe;
    const std::atomic<bool>& stop;
    std::atomic<uint64_t>& written;
    platform::ZeroedBlock memory;
    // For each block, the count of bytes flushed up to its last bytes.
    std::vector<uint64_t> ends;
    size_t current = 0;
    size_t used = 0;
    uint64_t flushed = 0;
};

class EssenceParser;
struct EssenceSample;

// Copies an element's value in blocks, each read straight into the block
// that goes to the encoder; with a parser, false frame starts are broken on
// the way. Ends early at the file's end.
void CopyValue(const EssenceSample& entry, FileReader& reader, EssenceWriter& target,
               const EssenceParser* parser = nullptr);

// One input of the merge: the encoder arguments that describe it, the path
// of its data file (the pipe's place) and what writes its bytes.
struct MergeInput {
    std::vector<std::string> args;
    std::string path;
    std::function<void(EssenceWriter&)> write;
    // The input is one Matroska stream of the video and every sound track.
    bool framed = false;
};

class EssenceFeeds {
public:
    // Makes a pipe for each input. Throws std::runtime_error when one
    // cannot be made.
    explicit EssenceFeeds(const std::vector<MergeInput>& inputs);
    // Stops the feeds that still run and removes the pipes.
    ~EssenceFeeds();

    EssenceFeeds(const EssenceFeeds&) = delete;
    EssenceFeeds& operator=(const EssenceFeeds&) = delete;

    // The inputs with the names under which the encoder opens their pipes.
    const std::vector<MergeInput>& Inputs() const { return named; }
    // Starts a thread an input; each writes once the encoder opens its pipe.
    void Start();
    // Bytes written into all pipes so far.
    uint64_t Written() const { return written; }
    // Stops the feeds that still run and waits for them: the text of the
    // first failure to read an input, else empty. A reader that closed its
    // pipe early is no failure: the encoder stops reading at the result's
    // duration.
    std::string Finish();

private:
    void Feed(size_t input);

    std::vector<MergeInput> named;
    std::vector<std::unique_ptr<platform::OutputPipe>> pipes;
    std::vector<std::string> failures;
    std::vector<std::thread> threads;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> written{0};
};

}  // namespace vexmend
