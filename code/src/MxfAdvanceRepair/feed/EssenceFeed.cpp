#include "MxfAdvanceRepair/feed/EssenceFeed.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "LogSink.h"
#include "MxfAdvanceRepair/scan/EssenceElement.h"
#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Bytes written into a pipe at a time.
constexpr size_t kPart = 1 << 16;
// Blocks of a feed whose blocks are lent: enough that a block has long been
// read when its turn comes again.
constexpr size_t kLentBlocks = 4;

}  // namespace

EssenceWriter::EssenceWriter(platform::OutputPipe& pipe, const std::atomic<bool>& stop,
                             std::atomic<uint64_t>& written, size_t blocks)
    : pipe(pipe),
      stop(stop),
      written(written),
      memory(platform::AllocateZeroedBlock(kBlock * std::max<size_t>(blocks, 1))),
      ends(std::max<size_t>(blocks, 1))
{
}

void EssenceWriter::Write(const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const size_t part = std::min(size, kBlock);
        std::memcpy(Room(part), bytes, part);
        Advance(part);
        bytes += part;
        size -= part;
    }
}

void EssenceWriter::WriteZeros(uint64_t count)
{
    while (count > 0) {
        const size_t part = static_cast<size_t>(std::min<uint64_t>(count, kBlock));
        std::memset(Room(part), 0, part);
        Advance(part);
        count -= part;
    }
}

uint8_t* EssenceWriter::Room(size_t size)
{
    if (used + size > kBlock) Flush();
    return Block() + used;
}

void EssenceWriter::Flush()
{
    if (used == 0) return;
    const bool lend = ends.size() > 1;
    // In parts, so that the count shows an encoder that reads slowly
    // reading.
    for (size_t done = 0; done < used; done += kPart) {
        const size_t part = std::min(kPart, used - done);
        const uint8_t* bytes = Block() + done;
        if (!(lend ? pipe.Lend(bytes, part, stop) : pipe.Write(bytes, part, stop))) {
            throw FeedStopped();
        }
        written += part;
    }
    flushed += used;
    used = 0;
    if (!lend) return;
    // The next block is filled again only once its bytes have been read.
    ends[current] = flushed;
    current = (current + 1) % ends.size();
    if (!pipe.WaitUnread(flushed - ends[current], stop)) throw FeedStopped();
}

void CopyValue(const EssenceSample& entry, FileReader& reader, EssenceWriter& target,
               const EssenceParser* parser)
{
    for (uint64_t done = 0; done < entry.size;) {
        const size_t chunk = static_cast<size_t>(
            std::min<uint64_t>(entry.size - done, EssenceWriter::kBlock));
        uint8_t* room = target.Room(chunk);
        const size_t got = static_cast<size_t>(reader.ReadAt(entry.offset + done, room, chunk));
        if (parser != nullptr) parser->BreakFalseStarts(room, got);
        target.Advance(got);
        if (got != chunk) break;
        done += chunk;
    }
}

EssenceFeeds::EssenceFeeds(const std::vector<MergeInput>& inputs)
    : named(inputs), failures(inputs.size())
{
    for (MergeInput& input : named) {
        pipes.push_back(std::make_unique<platform::OutputPipe>(input.path));
        input.path = pipes.back()->Name();
    }
}

EssenceFeeds::~EssenceFeeds() { Finish(); }

void EssenceFeeds::Start()
{
    for (size_t i = 0; i < named.size(); ++i) threads.emplace_back(&EssenceFeeds::Feed, this, i);
}

void EssenceFeeds::Feed(size_t input)
{
    platform::OutputPipe& pipe = *pipes[input];
    if (!pipe.Connect(stop)) return;
    try {
        // The framed input carries every byte of the result: its blocks are
        // lent to the pipe. Raw inputs, up to one a sound track, keep one
        // block each, so that many tracks take little memory.
        EssenceWriter writer(pipe, stop, written, named[input].framed ? kLentBlocks : 1);
        if (named[input].write) named[input].write(writer);
        writer.Flush();
    } catch (const EssenceWriter::FeedStopped&) {
    } catch (const std::exception& error) {
        failures[input] = named[input].path + ": " + ErrorText(error);
    } catch (...) {
        failures[input] = named[input].path + ": unknown error";
    }
    // The encoder reads up to here and takes it for the input's end.
    pipe.Close();
}

std::string EssenceFeeds::Finish()
{
    stop = true;
    for (std::thread& thread : threads) {
        if (thread.joinable()) thread.join();
    }
    for (const std::string& failure : failures) {
        if (!failure.empty()) return failure;
    }
    return std::string();
}

}  // namespace vexmend
