#!/bin/bash
# Puts deliberate faults into the sources, one at a time, rebuilds, runs the
# tests that must notice each one and prints "caught" or "MISSED" for it.
#   tools/check-mutations.sh [build folder] [name filter (grep pattern)]
# Default build folder: build-mutations at the repository root. Each patched
# file is copied aside first and copied back after its fault, and on any exit
# or interruption. The exit status is 1 when a fault was missed, 2 when the
# table is wrong (a text not found exactly once, a fault that does not build)
# or the tests fail without any fault.
#
# The fault table below has one fault a line, its fields separated by " @@ ":
#   name @@ file @@ exact text @@ replacement @@ test binary @@ gtest filter
# The exact text must occur exactly once in the file; it is replaced as it is
# (no patterns; "\n" stands for a line break). Keep each filter to the tests that must catch the fault, so
# that a round stays short.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-$root/build-mutations}
only=${2:-}

faults=$(cat <<'EOF'
run of rejected positions: one more position tested against the window @@ code/src/MxfAdvanceRepair/scan/ScanWalk.cpp @@ std::min(available - lookAhead, limit - 1) @@ std::min(available - lookAhead + 1, limit - 1) @@ vexmend_unit_tests @@ *ScanWalk*
run of rejected positions: one more position than the byte limit allows @@ code/src/MxfAdvanceRepair/scan/ScanWalk.cpp @@ std::min(available - lookAhead, limit - 1) @@ std::min(available - lookAhead, limit) @@ vexmend_unit_tests @@ *ScanWalk*
run of rejected positions: last header in the window not tested @@ code/src/MxfAdvanceRepair/scan/ScanWalk.cpp @@ std::min(last, available - kMinimumElementHeader) @@ std::min(last, available - kMinimumElementHeader - 1) @@ vexmend_unit_tests @@ *ScanWalk*
run of rejected positions: stops one past the element @@ code/src/MxfAdvanceRepair/scan/ScanWalk.cpp @@ .found) return i; @@ .found) return i + 1; @@ vexmend_unit_tests @@ *ScanWalk*
byte limit: run not cut at the limit @@ code/src/MxfAdvanceRepair/scan/ScanWalk.cpp @@ settings.unrecognisedLimit + 1 - run @@ settings.unrecognisedLimit - run @@ vexmend_unit_tests @@ *ScanWalk*
byte limit: reached at the limit, not past it @@ code/src/MxfAdvanceRepair/scan/ScanWalk.cpp @@ if (run > settings.unrecognisedLimit) { @@ if (run >= settings.unrecognisedLimit) { @@ vexmend_unit_tests @@ *ScanWalk*
byte limit: counts the whole file, not one run @@ code/src/MxfAdvanceRepair/scan/ScanWalk.cpp @@             run = 0;\n @@ \n @@ vexmend_unit_tests @@ *ScanWalk*
length bound 7FFFFFFFFFFFFFFFh excluded @@ code/src/MxfAdvanceRepair/scan/EssenceElement.cpp @@ if (value > 0x7FFFFFFFFFFFFFFFull) return length; @@ if (value >= 0x7FFFFFFFFFFFFFFFull) return length; @@ vexmend_unit_tests @@ *ScanWalk*
length field of nine bytes accepted @@ code/src/MxfAdvanceRepair/scan/EssenceElement.cpp @@ || following > 8) return length; @@ || following > 9) return length; @@ vexmend_unit_tests @@ *ScanWalk*
compound item 18h not video @@ code/src/MxfAdvanceRepair/scan/EssenceElement.cpp @@ case mxf::kGcCompoundItem: @@ case mxf::kGcCompoundItem + 1: @@ vexmend_unit_tests @@ *ScanWalk*
element test ignores the walk's look-ahead @@ code/src/MxfAdvanceRepair/scan/EssenceElement.cpp @@ std::min(reader.Remaining(), lookAhead))) return EssenceSample(); @@ std::min(reader.Remaining(), kLookAhead))) return EssenceSample(); @@ vexmend_unit_tests @@ *ScanWalk*
prefix search checks the wrong fourth byte @@ code/src/MxfAdvanceRepair/scan/EssenceElement.cpp @@ p[k + 3] == mxf::kUlDesignator[3] @@ p[k + 1] == mxf::kUlDesignator[3] @@ vexmend_unit_tests @@ *ScanWalk*
refill drops the unconsumed tail @@ code/src/StreamBuffer.cpp @@ std::memmove(buffer.get(), buffer.get() + cursor, static_cast<size_t>(available)); @@ (void)0; @@ vexmend_unit_tests @@ StreamBuffer.*:*ScanWalk*
refill reads one byte less than the room @@ code/src/StreamBuffer.cpp @@ std::min(Remaining(), static_cast<uint64_t>(cursor)); @@ std::min(Remaining(), static_cast<uint64_t>(cursor) - 1); @@ vexmend_unit_tests @@ StreamBuffer.*:*ScanWalk*
reads again after a short read @@ code/src/StreamBuffer.cpp @@ if (atEnd) { @@ if (false) { @@ vexmend_unit_tests @@ StreamBuffer.*:*ScanWalk*
refills while enough bytes are there @@ code/src/StreamBuffer.cpp @@ if (static_cast<uint64_t>(available) >= n) return true; @@ if (static_cast<uint64_t>(available) > n) return true; @@ vexmend_unit_tests @@ StreamBuffer.*:*ScanWalk*
failed read counted as bytes @@ code/src/StreamBuffer.cpp @@ if (got < 0) got = 0; @@ (void)0; @@ vexmend_unit_tests @@ StreamBuffer.*:*ScanWalk*
skip of more than 4 GiB wraps into the window @@ code/src/StreamBuffer.cpp @@ if (n > capacity || static_cast @@ if (static_cast @@ vexmend_unit_tests @@ StreamBuffer.*:*ScanWalk*
report: record 10 of 20 logged @@ code/src/MxfAdvanceRepair/ScanReport.cpp @@ if (sequence >= 10 && @@ if (sequence > 10 && @@ vexmend_unit_tests @@ Scan.*
report: only the last nine logged @@ code/src/MxfAdvanceRepair/ScanReport.cpp @@ sequence <= count - 10) continue; @@ sequence <= count - 9) continue; @@ vexmend_unit_tests @@ Scan.*
report: video message without its trailing space @@ code/src/MxfAdvanceRepair/ScanReport.cpp @@ "Video Frame Info: " @@ "Video Frame Info:" @@ vexmend_unit_tests @@ Scan.*
report: audio percentage from the video total @@ code/src/MxfAdvanceRepair/ScanReport.cpp @@ static_cast<int64_t>(audioTotal)) / fileSize @@ static_cast<int64_t>(videoTotal)) / fileSize @@ vexmend_unit_tests @@ Scan.*
five-frame rule: four frames enough @@ code/src/MxfAdvanceRepair/Scan.cpp @@ kMinimumVideoFrames = 5; @@ kMinimumVideoFrames = 4; @@ vexmend_unit_tests @@ Scan.*
five-frame rule: five frames not enough @@ code/src/MxfAdvanceRepair/Scan.cpp @@ videoSamples.size()) <\n        kMinimumVideoFrames) { @@ videoSamples.size()) <=\n        kMinimumVideoFrames) { @@ vexmend_unit_tests @@ Scan.*
window of 64 MiB instead of 32 MiB @@ code/src/MxfAdvanceRepair/scan/EssenceElement.h @@ kScanWindowSize = 0x2000000; @@ kScanWindowSize = 0x4000000; @@ vexmend_unit_tests @@ Scan.*
log: no space before an empty value @@ code/src/LogSink.cpp @@ << message << ' ' << value @@ << message << (value.empty() ? "" : " ") << value @@ vexmend_unit_tests @@ LogSink.*
log: record at the threshold dropped @@ code/src/LogSink.cpp @@ if (static_cast<int32_t>(threshold) > static_cast<int32_t>(level)) return; @@ if (static_cast<int32_t>(threshold) >= static_cast<int32_t>(level)) return; @@ vexmend_unit_tests @@ LogSink.*
log: month counted from 0 @@ code/src/LogSink.cpp @@ local.tm_mon + 1, @@ local.tm_mon, @@ vexmend_unit_tests @@ LogSink.*
audio: sound elements not sorted by track number @@ code/src/MxfAdvanceRepair/plan/SoundTracks.cpp @@ if (entry.trackNumber != numbers[k]) continue; @@ if (false) continue; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*eight_mono*
audio: tracks converted to the muxer's 16-bit default @@ code/src/MxfAdvanceRepair/merge/MergeArguments.cpp @@ "0:a?", "-acodec", "copy" @@ "0:a?", "-sn", "-dn" @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*eight_mono*
audio: AES3 subframe read without its four low bits dropped @@ code/src/MxfAdvanceRepair/feed/SoundElement.cpp @@ (bits >> 4 & 0xFFFFFFu) << 8 @@ (bits & 0xFFFFFFu) << 8 @@ vexmend_unit_tests @@ SoundElement.*
audio: 29.97 cadence of 1601 and 1602 samples not fitting @@ code/src/MxfAdvanceRepair/feed/SoundElement.cpp @@ - expected) < 1.0 @@ - expected) < 0.5 @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*2997*
merge: audio inputs mapped in reverse order @@ code/src/MxfAdvanceRepair/merge/MergeArguments.cpp @@ {"-map", std::to_string(i) + ":a"} @@ {"-map", std::to_string(inputs.size() - i) + ":a"} @@ vexmend_unit_tests @@ MergeRun.*
merge: time limit ten times too long @@ code/src/MxfAdvanceRepair/merge/EncoderRun.cpp @@ sinceGrowth.elapsed() / 1000000 >= timeLimitSeconds @@ sinceGrowth.elapsed() / 1000000 >= 10 * timeLimitSeconds @@ vexmend_unit_tests @@ EncoderLimit.*
encoder: standard input not the null device @@ code/src/platform/PosixChildProcess.cpp @@ int input = open("/dev/null", O_RDONLY); @@ int input = 0; @@ vexmend_unit_tests @@ EncoderLimit.*
encoder: the host's standard error inherited @@ code/src/platform/PosixChildProcess.cpp @@ dup2(errorOutput >= 0 ? errorOutput : output, 2) @@ dup2(errorOutput >= 0 ? errorOutput : 2, 2) @@ vexmend_unit_tests @@ EncoderLimit.*
probe: deadline not renewed by a line @@ code/src/MxfAdvanceRepair/SampleProbe.cpp @@ deadline = std::chrono::steady_clock::now() + limit;\n                feed(line); @@ feed(line); @@ vexmend_unit_tests @@ EncoderLimit.*
probe: "Hz" rule @@ code/src/MxfAdvanceRepair/sample/SampleReport.cpp @@ piece.find("Hz") @@ piece.find("kHz") @@ vexmend_unit_tests @@ SampleReport.*
sidecar: a document type declaration let through @@ tools/vexmend/SidecarXml.cpp @@ return text.find("<!DOCTYPE") != std::string::npos || @@ return @@ vexmend_unit_tests @@ Sidecar.*
sidecar: larger sidecars read @@ tools/vexmend/SidecarXml.cpp @@ kSidecarLimit = 4 << 20; @@ kSidecarLimit = 8 << 20; @@ vexmend_unit_tests @@ Sidecar.*
sidecar: XDCAM timecode's colour-frame bit kept in its frames @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ Bcd(bytes[0], 0x3F) @@ Bcd(bytes[0], 0x7F) @@ vexmend_unit_tests @@ Sidecar.*
sidecar: XDCAM drop-frame flag kept at 25 frames a second @@ tools/vexmend/SidecarXml.cpp @@ timecode->dropFrame && rate % 30 == 0 @@ timecode->dropFrame @@ vexmend_unit_tests @@ Sidecar.*
identity: references to the result's packages left as they were @@ tools/vexmend/ClipIdentity.cpp @@ if (std::equal(from.begin(), from.end(), bytes.begin() + at)) { @@ if (item.tag == mxf::kPackageUidTag && std::equal(from.begin(), from.end(), bytes.begin() + at)) { @@ vexmend_unit_tests @@ ClipIdentity.*
identity: start timecode written at 30 frames a second @@ tools/vexmend/ClipIdentity.cpp @@ (minutes * 60 + timecode.seconds) * count.base @@ (minutes * 60 + timecode.seconds) * 30 @@ vexmend_unit_tests @@ ClipIdentity.*
probe: "channels" rule @@ code/src/MxfAdvanceRepair/sample/SampleReport.cpp @@ piece.find("channels") @@ piece.find("channel ") @@ vexmend_unit_tests @@ SampleReport.*
MPEG-2: false picture starts left in the frames @@ code/src/MxfAdvanceRepair/codecs/MpegVideoParser.cpp @@ frame[at + 2] = 0x00; @@ (void)0; @@ vexmend_unit_tests @@ EssenceParser.*
sample-changed rule inverted @@ code/src/MxfAdvanceRepair/MxfAdvanceRepair.cpp @@ sampleChanged = newSamplePath != samplePath; @@ sampleChanged = newSamplePath == samplePath; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*eight_mono*
general repair: output equal to the input not refused @@ code/src/VideoRepairManager/GeneralRepair.cpp @@ if (SamePath(outputPath, inputPath)) { @@ if (false) { @@ vexmend_repair_tests @@ BothRepairs.Refused*
advance repair: output equal to an input not refused @@ code/src/VideoRepairManager/AdvanceRepair.cpp @@ if (SamePath(target, input)) { @@ if (false) { @@ vexmend_repair_tests @@ BothRepairs.Refused*
temporary output: copied over the output instead of renamed @@ code/src/VideoRepairManager/TemporaryOutput.cpp @@ Poco::File(path).renameTo(target); @@ Poco::File(path).copyTo(target); @@ vexmend_repair_tests @@ ResultIntegrity.Failures*
temporary output: left behind by a failed repair @@ code/src/VideoRepairManager/TemporaryOutput.cpp @@ if (!committed && !path.empty()) @@ if (false) @@ vexmend_repair_tests @@ ResultIntegrity.Failures*
unique names: calls share one work folder @@ code/src/VideoRepairManager/CallFolder.cpp @@ path = parent + "/" + UniqueName();\n    } while (!Poco::File(path).createDirectory()); @@ path = parent + "/call";\n    } while (false);\n    Poco::File(path).createDirectories(); @@ vexmend_repair_tests @@ ResultIntegrity.Processes*
leftovers of dead calls kept @@ code/src/VideoRepairManager/CallFolder.cpp @@ fs::remove_all(entry.path(), error); @@ (void)0; @@ vexmend_repair_tests @@ ResultIntegrity.EncoderDies*
encoder: lives on when the host dies @@ code/src/platform/PosixChildProcess.cpp @@ prctl(PR_SET_PDEATHSIG, SIGKILL); @@ (void)0; @@ vexmend_repair_tests @@ ResultIntegrity.EncoderDies*
codec check: pictures of another codec accepted @@ code/src/MxfAdvanceRepair/scan/CodecCheck.cpp @@ if (2 * alike > checked) return std::string(); @@ if (true) return std::string(); @@ vexmend_repair_tests @@ ResultIntegrity.Failures*
merge: duration from the rounded frame rate @@ code/src/MxfAdvanceRepair/codecs/RawVideoInput.cpp @@ Rational exact = ExactFrameRate(rate); @@ Rational exact = {std::llround(rate * 1000), 1000}; @@ vexmend_unit_tests @@ EssenceParser.DurationOfFrames
probe: a failed probe not tried again @@ code/src/MxfAdvanceRepair/SampleProbe.cpp @@ samplePath.clear(); @@ (void)0; @@ vexmend_repair_tests @@ ResultIntegrity.Failures*
log: a log folder that takes no log kept @@ code/src/VideoRepairManager/Initialize.cpp @@ || !CanAppend(logFolder + L"/QorVideoRepair.log") @@  @@ vexmend_repair_tests @@ Init.*
advance repair: the result starts before the first key frame @@ code/src/MxfAdvanceRepair/plan/RepairPlan.cpp @@ while (firstKey < pictures.size() && !isKey(firstKey)) ++firstKey; @@ while (false) ++firstKey; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*first_mib*
advance repair: no silence before a track's first element @@ code/src/MxfAdvanceRepair/feed/TrackSound.cpp @@ if (!track.elements.empty()) silence = Size(track.elements.front()); @@ (void)0; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*sound_and_pictures*
advance repair: system items not read for the timecode @@ code/src/MxfAdvanceRepair/plan/StartTimecode.cpp @@ if (auto found = FindSystemItemTimecode( @@ if (auto found = std::optional<Timecode>(); false && FindSystemItemTimecode( @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*dv*
advance repair: pictures not repeated for sound whose picture was lost @@ code/src/MxfAdvanceRepair/plan/ContentPackages.cpp @@ if (!intraOnly) count = 1; @@ count = 1; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*d10_imx50_sound*
clip wrapping: a clip-wrapped picture taken as one frame @@ code/src/MxfAdvanceRepair/scan/ClipWrapping.cpp @@ if (picture.size < frameSize + frameSize / 2) { @@ if (true) { @@ vexmend_repair_tests @@ AdvanceRepair.OpAtom*
clip wrapping: a frame cut short counted @@ code/src/MxfAdvanceRepair/scan/ClipWrapping.cpp @@ at + frameSize <= end; at += frameSize @@ at < end; at += frameSize @@ vexmend_repair_tests @@ AdvanceRepair.OpAtom*
clip wrapping: frames without a key not looked for @@ code/src/MxfAdvanceRepair/scan/ClipWrapping.cpp @@ } else if (frameSize > 0) {\n        found = FindKeylessFrames( @@ } else if (false) {\n        found = FindKeylessFrames( @@ vexmend_repair_tests @@ AdvanceRepair.OpAtom*
clip wrapping: sound without a key not aligned to its end @@ code/src/MxfAdvanceRepair/scan/ClipWrapping.cpp @@ start += (end - start) % blockAlign; @@ (void)0; @@ vexmend_repair_tests @@ AdvanceRepair.OpAtom*
timecode: a system item's timecode not counted back to the first picture @@ code/src/MxfAdvanceRepair/plan/StartTimecode.cpp @@ frameRate)) {\n            return found->Plus(-static_cast<int64_t>(i), frameRate);\n        }\n    }\n    for @@ frameRate)) {\n            return found;\n        }\n    }\n    for @@ vexmend_unit_tests @@ StartTimecode.*
timecode: the pictures' own timecode not looked for @@ code/src/MxfAdvanceRepair/plan/StartTimecode.cpp @@ if (auto found = parser.FrameTimecode( @@ if (auto found = std::optional<Timecode>(); false && parser.FrameTimecode( @@ vexmend_unit_tests @@ StartTimecode.*
timecode: drop-frame numbers not skipped @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ const int64_t drop = dropFrame ? base / 15 : 0; @@ const int64_t drop = 0; @@ vexmend_unit_tests @@ StartTimecode.*
timecode: two numbers dropped a minute at 59.94, not four @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ const int64_t drop = dropFrame ? base / 15 : 0; @@ const int64_t drop = dropFrame ? 2 : 0; @@ vexmend_unit_tests @@ StartTimecode.*
timecode: frame pairs above 30 frames a second taken for frames @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ timecode.frames = timecode.frames * 2 + (mark >> 7); @@ (void)mark; @@ vexmend_unit_tests @@ StartTimecode.*
timecode: frame pairs at 29.97 @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ if (nominal > 30) { @@ if (nominal >= 30) { @@ vexmend_unit_tests @@ StartTimecode.*
timecode: a pair's second frame not counted @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ timecode.frames * 2 + (mark >> 7); @@ timecode.frames * 2; @@ vexmend_unit_tests @@ StartTimecode.*
timecode: the pair's mark of 50p looked for in the seconds @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ nominal == 50 ? bytes[3] : bytes[1] @@ bytes[1] @@ vexmend_unit_tests @@ StartTimecode.*
timecode: the pair's mark of 59.94 looked for in the hours @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ nominal == 50 ? bytes[3] : bytes[1] @@ bytes[3] @@ vexmend_unit_tests @@ StartTimecode.*
timecode: DV's binary group flags taken for a pair's mark @@ code/src/MxfAdvanceRepair/codecs/DvParser.cpp @@ static_cast<uint8_t>(pack[3] & 0x7F) @@ pack[3] @@ vexmend_unit_tests @@ StartTimecode.*
advance repair: frame pairs of a 50p system item taken for frames @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ timecode.frames = timecode.frames * 2 + (mark >> 7); @@ (void)mark; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*720p50*
advance repair: a pair's second frame of a 59.94 system item not counted @@ code/src/MxfAdvanceRepair/codecs/Timecode.cpp @@ timecode.frames * 2 + (mark >> 7); @@ timecode.frames * 2; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*720p5994*
plan: the packages before the first key frame show their own pictures @@ code/src/MxfAdvanceRepair/plan/ContentPackages.cpp @@ OutputFrame frame{std::max(p, firstKey), {}}; @@ OutputFrame frame{p, {}}; @@ vexmend_unit_tests @@ PackagePlan.*
plan: long-GOP sound of lost pictures not counted as left out @@ code/src/MxfAdvanceRepair/plan/ContentPackages.cpp @@ if (!intraOnly) plan.soundLeftOut += @@ if (false) plan.soundLeftOut += @@ vexmend_unit_tests @@ PackagePlan.*
clip wrapping: OP-Atom sample, OP1a result @@ code/src/MxfAdvanceRepair/merge/MergeArguments.cpp @@ layout.opAtom ? "mxf_opatom" : "mxf" @@ "mxf" @@ vexmend_unit_tests @@ MergeRun.Arguments
merge: the result's timecode left out @@ code/src/MxfAdvanceRepair/merge/MergeArguments.cpp @@ if (layout.timecode) @@ if (false) @@ vexmend_unit_tests @@ MergeRun.Arguments
merge: the framed essence's sound tracks not mapped @@ code/src/MxfAdvanceRepair/merge/MergeArguments.cpp @@ {"-map", "0:v", "-map", "0:a?", "-acodec", "copy"} @@ {"-map", "0:v", "-acodec", "copy"} @@ vexmend_unit_tests @@ MergeRun.Arguments
merge: the length rounded down at 29.97 @@ code/src/MxfAdvanceRepair/codecs/RawVideoInput.cpp @@ + numerator - 1) / numerator @@ ) / numerator @@ vexmend_unit_tests @@ MergeRun.Arguments
clip wrapping: a long-GOP clip taken as one frame @@ code/src/MxfAdvanceRepair/scan/ClipWrapping.cpp @@ } else if (sample.clipWrapped) { @@ } else if (false) { @@ vexmend_repair_tests @@ AdvanceRepair.OpAtom*
clip wrapping: the incomplete last frame of a clip cut short kept @@ code/src/MxfAdvanceRepair/scan/ClipWrapping.cpp @@ (picture.offset + picture.size > fileSize ? 2 : 1) @@ 1 @@ vexmend_repair_tests @@ AdvanceRepair.OpAtom*
merge: an encoder that only reads its pipes taken for stuck @@ code/src/MxfAdvanceRepair/merge/EncoderRun.cpp @@ feeds.Written() + FileSize(resultPath) @@ FileSize(resultPath) @@ vexmend_unit_tests @@ EncoderLimit.*
merge: a pipe not closed when its input ends @@ code/src/MxfAdvanceRepair/feed/EssenceFeed.cpp @@     pipe.Close();\n @@ \n @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*dv_header_lost*
merge: a lent block filled again before it was read @@ code/src/platform/PosixOutputPipe.cpp @@ if (static_cast<uint64_t>(pending) <= unread) return true; @@ return true; @@ vexmend_unit_tests @@ EncoderLimit.*
start codes: one zero taken for the prefix @@ code/src/MxfAdvanceRepair/codecs/StartCodes.cpp @@ data[one - 1] == 0 && data[one - 2] == 0 @@ data[one - 1] == 0 @@ vexmend_unit_tests @@ EssenceParser*
ProRes: a frame told by its size alone, not by its identifier @@ code/src/MxfAdvanceRepair/codecs/ProResParser.cpp @@ std::memcmp(f + 4, "icpf", 4) != 0 || @@  @@ vexmend_unit_tests @@ EssenceParser.*
ProRes: a frame smaller than its header taken for one @@ code/src/MxfAdvanceRepair/codecs/ProResParser.cpp @@ frame >= 8 + header ? frame : 0 @@ frame > 0 ? frame : 0 @@ vexmend_unit_tests @@ EssenceParser.*
ProRes: the next frame sought in the frame's coded data, not at its end @@ code/src/MxfAdvanceRepair/codecs/ProResParser.cpp @@ at = next >= size || BeginsFrame(data + next, size - next) ? next : at + 1; @@ ++at; @@ vexmend_unit_tests @@ EssenceParser.*
ProRes: a damaged frame size trusted @@ code/src/MxfAdvanceRepair/codecs/ProResParser.cpp @@ at = next >= size || BeginsFrame(data + next, size - next) ? next : at + 1; @@ at = next; @@ vexmend_unit_tests @@ EssenceParser.*
ProRes: the sample's profile not carried to the result @@ code/src/MxfAdvanceRepair/feed/MatroskaStream.cpp @@ tag.size() == 4 ? tag : row->fourcc @@ row->fourcc @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*prores*
framed essence: the ProRes profile code in a bitmap header @@ code/src/MxfAdvanceRepair/feed/MatroskaStream.cpp @@ if (row->fourcc != nullptr && track.codecId == "V_MS/VFW/FOURCC") { @@ if (row->fourcc != nullptr) { @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*prores*
sample report: the codec's four-character code not read @@ code/src/MxfAdvanceRepair/sample/SampleReport.cpp @@ videoTag = codec.substr(value - 4, 4); @@ (void)value; @@ vexmend_unit_tests @@ SampleReport.*
JPEG 2000: a start marker without the size segment taken for a frame @@ code/src/MxfAdvanceRepair/codecs/Jpeg2000Parser.cpp @@ f[2] != 0xFF || f[3] != 0x51 @@ f[2] != 0xFF @@ vexmend_unit_tests @@ EssenceParser.*
JPEG 2000: a size segment of any length taken @@ code/src/MxfAdvanceRepair/codecs/Jpeg2000Parser.cpp @@ length >= 41 && (length - 38) % 3 == 0 @@ length >= 41 @@ vexmend_unit_tests @@ EssenceParser.*
JPEG 2000: a frame start counted after a codestream's start, not its end @@ code/src/MxfAdvanceRepair/codecs/Jpeg2000Parser.cpp @@ data[at + 1] == 0xD9 @@ data[at + 1] == 0x4F @@ vexmend_unit_tests @@ EssenceParser.*
sample report: the picture size not read @@ code/src/MxfAdvanceRepair/sample/SampleReport.cpp @@             width = w;\n @@ \n @@ vexmend_unit_tests @@ SampleReport.*
framed essence: the rate not given exactly @@ code/src/MxfAdvanceRepair/feed/FeedInputs.cpp @@ {"-r", FrameRateText(source->frameRate), "-f", "matroska"} @@ {"-f", "matroska"} @@ vexmend_repair_tests @@ AdvanceRepair.OpAtom*
framed essence: every track's sound on the first track @@ code/src/MxfAdvanceRepair/feed/FeedInputs.cpp @@ stream.BeginBlock(t + 1, f, @@ stream.BeginBlock(1, f, @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*eight_mono*
framed essence: a block one byte short @@ code/src/MxfAdvanceRepair/feed/MatroskaStream.cpp @@ PutSize(header, size + 4); @@ PutSize(header, size + 3); @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*eight_mono*
plan: a picture the file's end cut short kept @@ code/src/MxfAdvanceRepair/plan/RepairPlan.cpp @@ while (shown > 0 && !whole(pictures[shown - 1])) --shown; @@ (void)whole; @@ vexmend_repair_tests @@ Recordings/*dnxhd_cut*:Recordings/*dv_cut*
keyless pictures: not looked for in frame-wrapped essence @@ code/src/MxfAdvanceRepair/scan/ClipWrapping.cpp @@ found = FindKeylessPictures(read, fileSize, result.pictures, sounds, parser, frameSize); @@ (void)0; @@ vexmend_repair_tests @@ Recordings/*_keys
keyless pictures: the surviving length field not trusted @@ code/src/MxfAdvanceRepair/scan/KeylessPictures.cpp @@ EndsAtKey(read, fileSize, start + length.value, limit)) { @@ false) { @@ vexmend_unit_tests @@ KeylessPictures.*
keyless pictures: taken where no key follows @@ code/src/MxfAdvanceRepair/scan/KeylessPictures.cpp @@ sizeof prefix && IntactKey(prefix)); @@ sizeof prefix); @@ vexmend_repair_tests @@ Recordings/*mpeg2_hd_422_50mbit_keys*
keyless pictures: intact items searched inside @@ code/src/MxfAdvanceRepair/scan/KeylessPictures.cpp @@ if (item.value > 0 && base + i + 16 + item.fieldSize + item.value <= to) { @@ if (false) { @@ vexmend_repair_tests @@ ResultIntegrity.Failures*
keyless pictures: one whose length was lost too not found @@ code/src/MxfAdvanceRepair/scan/KeylessPictures.cpp @@ return static_cast<uint64_t>(at - head); @@ return 0; @@ vexmend_repair_tests @@ Recordings/*h264_gop50_keys*
keyless pictures: a constant-size codec's frame size not used @@ code/src/MxfAdvanceRepair/scan/KeylessPictures.cpp @@ if (frameSize > 0) return EndsAtKey(read, fileSize, start + frameSize, limit) ? frameSize : 0; @@ if (frameSize > 0) return 0; @@ vexmend_repair_tests @@ Recordings/*dnxhd_keys*
keyless sound: not looked for @@ code/src/MxfAdvanceRepair/Scan.cpp @@ if (!soundOnly && !sample.essence.clipWrapped) { @@ if (false) { @@ vexmend_repair_tests @@ Recordings/*dnxhd_keys*
keyless sound: a track already in the package taken again @@ code/src/MxfAdvanceRepair/scan/KeylessSound.cpp @@ std::find(present.begin(), present.end(), t.first) == present.end(); @@ true; @@ vexmend_repair_tests @@ Recordings/*s24le_eight_mono*
keyless sound: an item whose key was lost taken for intact @@ code/src/MxfAdvanceRepair/scan/KeylessSound.cpp @@ const bool intact = KeyOrEndAt(read, fileSize, at); @@ const bool intact = true; @@ vexmend_repair_tests @@ Recordings/*dnxhd_keys*
general repair: a result whose index points past its last picture kept @@ code/src/VideoRepairManager/GeneralRepair.cpp @@ if (!past) return 0; @@ return 0; @@ vexmend_repair_tests @@ GeneralRepair.*
plan: long GOP, pictures after a gap in display order kept at the end @@ code/src/MxfAdvanceRepair/plan/RepairPlan.cpp @@ shown = GapFreeEnd( @@ (void)GapFreeEnd( @@ vexmend_repair_tests @@ Recordings/*mpeg2_hd_422_50mbit_cut*
plan: a group whose key frame was lost taken into the last group @@ code/src/MxfAdvanceRepair/plan/RepairPlan.cpp @@ && seen[static_cast<size_t>(*at)]) break; @@ && false) break; @@ vexmend_repair_tests @@ Recordings/*mpeg2_hd_422_50mbit_sound*
plan: the sound of pictures left out at the end kept @@ code/src/MxfAdvanceRepair/plan/ContentPackages.cpp @@ plan.soundLeftOut += packages[t][p].size(); @@ (void)0; @@ vexmend_unit_tests @@ PackagePlan.*
mpeg-2: temporal reference read one bit off @@ code/src/MxfAdvanceRepair/codecs/MpegVideoParser.cpp @@ frame[at + 4] << 2 | frame[at + 5] >> 6 @@ frame[at + 4] << 2 | frame[at + 5] >> 5 @@ vexmend_repair_tests @@ Recordings/*mpeg2_hd_422_50mbit_cut*
framed essence: a picture cut short not made up to its size @@ code/src/MxfAdvanceRepair/feed/MatroskaStream.cpp @@ if (target.Count() < blockEnd) target.WriteZeros @@ if (false) target.WriteZeros @@ vexmend_unit_tests @@ MatroskaStream.*
framed essence: a new cluster's block timed from the last cluster @@ code/src/MxfAdvanceRepair/feed/MatroskaStream.cpp @@         clusterTime = time;\n @@ \n @@ vexmend_unit_tests @@ MatroskaStream.*
keys: the version byte compared @@ code/src/MxfAdvanceRepair/mxf/Keys.h @@ label.size - kVersionByte - 1) == 0; @@ label.size - kVersionByte - 1) == 0 && bytes[kVersionByte] == label.bytes[kVersionByte]; @@ vexmend_unit_tests @@ Keys.*
keys: OP-Atom taken for any operational pattern @@ code/src/MxfAdvanceRepair/mxf/Keys.h @@ 0x0D, 0x01, 0x02, 0x01, 0x10}, 13}; @@ 0x0D, 0x01, 0x02, 0x01, 0x10}, 12}; @@ vexmend_unit_tests @@ Keys.*
card: the log not checked before it is written (a link to a clip, a folder under the card) @@ tools/vexmend/CardCommand.cpp @@ guard.Check((fs::u8path(line.logDir) / "QorVideoRepair.log").u8string(), "the log"); @@ (void)0; @@ vexmend_repair_tests @@ CardMode.*
card: a clip read short of its stated duration counts as healthy @@ tools/vexmend/MediaProbe.cpp @@ readSeconds + 1.5 * frame >= duration &&\n           (HasVideo() ? frames > 0 && (frames + 1.5) * frame >= duration @@ readSeconds >= 0 &&\n           (HasVideo() ? frames > 0 @@ vexmend_repair_tests @@ CardMode.*
card: the sample's sound tracks not held against the damaged clip's @@ tools/vexmend/SampleChoice.cpp @@ return scan.soundTracks.empty() || scan.soundTracks.size() == candidate.audio.size(); @@ return true; @@ vexmend_repair_tests @@ CardMode.*
card: folder names matched in one letter case only @@ tools/vexmend/CardLayout.cpp @@ if (!name.empty() && Upper(entry.filename().u8string()) != name) continue; @@ if (!name.empty() && entry.filename().u8string() != name) continue; @@ vexmend_repair_tests @@ CardMode.*
card: the advance repair without the general repair first @@ tools/vexmend/CardRepair.cpp @@ record.code = RunRepairProcess(options.folders, {"general", input, staged.path}); @@ record.code = VEXMEND_NO_OUTPUT; @@ vexmend_repair_tests @@ CardMode.*
card: the report's path not checked (a clip, the card) @@ tools/vexmend/CardCommand.cpp @@ for (const std::string& report : line.reports) guard.Check(report, "the report"); @@ (void)0; @@ vexmend_repair_tests @@ CardMode.Hostile*
card: the work folder not checked against the card @@ tools/vexmend/CardCommand.cpp @@ guard.Check(line.workDir, "the work folder"); @@ (void)0; @@ vexmend_repair_tests @@ CardMode.*
card: a link leading out of the card read as a clip @@ tools/vexmend/CardLayout.cpp @@ if (!vexmend::LiesIn(path.u8string(), source.u8string())) { @@ if (false) { @@ vexmend_repair_tests @@ CardMode.Hostile*
card: entries named like clips passed over without a word @@ tools/vexmend/CardLayout.cpp @@ } else {\n                Pass(entry, inCard, "skipped", why); @@ } else {\n                (void)why; @@ vexmend_repair_tests @@ CardMode.Hostile*
card: only the first of several clip folders @@ tools/vexmend/CardLayout.cpp @@ for (const Place& f : clip) AddClips(f, false, false, "M01.XML"); @@ AddClips(clip.front(), false, false, "M01.XML"); @@ vexmend_repair_tests @@ CardMode.Hostile*
card: a folder that cannot be read taken for an empty one @@ tools/vexmend/CardLayout.cpp @@ if (error) { @@ if (false) { @@ vexmend_repair_tests @@ CardMode.Hostile*
card: two clips given one result name @@ tools/vexmend/CardNames.cpp @@ uses[Upper(MxfName(clip.inCard, false))] > 1 @@ uses[Upper(MxfName(clip.inCard, false))] > 9 @@ vexmend_repair_tests @@ CardMode.Hostile*
card: result names told apart in one letter case only @@ tools/vexmend/CardNames.cpp @@ taken.count(Upper(name)) != 0 @@ taken.count(name) != 0 @@ vexmend_repair_tests @@ CardMode.Hostile*
card: a name that is no UTF-8 handed to the library as it is @@ tools/vexmend/CardRepair.cpp @@ if (IsUtf8(path)) return path; @@ return path; @@ vexmend_repair_tests @@ CardMode.Hostile*
card: health by the encoder's reading alone, not the scan @@ tools/vexmend/ResultCheck.cpp @@ return media.ReadWhole() && scan && scan->damaged.empty() && @@ return media.ReadWhole() && scan && @@ vexmend_repair_tests @@ CardMode.*
card: a folder of the output that is a link written through @@ tools/vexmend/OutputClaim.cpp @@ RefuseLink(at, ""); @@ (void)at; @@ vexmend_repair_tests @@ CardMode.Hostile*
card: temporary names as long as the clip's @@ tools/vexmend/OutputClaim.cpp @@ std::to_string(++staged) + extension @@ std::string(250, 'x') + extension @@ vexmend_repair_tests @@ CardMode.Hostile*
card: an output folder in use taken all the same @@ tools/vexmend/OutputClaim.cpp @@ if (held || fs::exists(fs::u8path(path), error)) { @@ if (false) { @@ vexmend_repair_tests @@ CardMode.Hostile*
card: a killed run's leftovers kept @@ tools/vexmend/OutputClaim.cpp @@ if (folder.filename().u8string().rfind(kPrefix, 0) == 0) fs::remove_all(folder, error); @@ (void)folder; @@ vexmend_repair_tests @@ CardMode.Stops*
card: a stop waits for the repair under way @@ tools/vexmend/RepairProcess.cpp @@         ThrowIfStopped();\n @@ \n @@ vexmend_repair_tests @@ CardMode.Stops*
card: --jobs ignored, one clip repaired at a time @@ tools/vexmend/ClipPool.cpp @@ std::max(threads, 1) @@ std::min(threads, 1) @@ vexmend_repair_tests @@ CardMode.Stops*
card: a stop ending the workers not passed on, the run taken for done @@ tools/vexmend/ClipPool.cpp @@ queue.ThrowIfFailed(); @@ (void)queue; @@ vexmend_repair_tests @@ CardMode.Stops*
report: bytes that are no UTF-8 written as they are @@ tools/vexmend/Json.cpp @@ json += "\\ufffd"; @@ json += text[at]; @@ vexmend_repair_tests @@ CardMode.Hostile*
report: clip names written into the HTML page unescaped @@ tools/vexmend/CardHtml.cpp @@ << Html(r.clip.inCard); @@ << r.clip.inCard; @@ vexmend_repair_tests @@ CardMode.Hostile*
report: bytes that are no UTF-8 written into the HTML page as they are @@ tools/vexmend/CardHtml.cpp @@ html += kReplacement;\n            ++at; @@ html += text[at];\n            ++at; @@ vexmend_repair_tests @@ CardMode.Hostile*
card: an output folder reached through a bind mount of the card taken @@ code/src/FileIdentity.cpp @@ if (fs::equivalent(up, outer, error)) return true; @@ if (false) return true; @@ vexmend_repair_tests @@ CardMode.Hostile*
scan: the last whole KLV item of a run counted as damaged @@ code/src/MxfAdvanceRepair/scan/ScanSummary.cpp @@ if (whole && item <= n - i) { @@ if (whole && item < n - i) { @@ vexmend_repair_tests @@ CardMode.*
scan: a fill item of no length counted as damaged @@ code/src/MxfAdvanceRepair/scan/ScanSummary.cpp @@ const bool whole = length.value > 0 || StatesZero(&bytes[i + 16], n - i - 16); @@ const bool whole = length.value > 0; @@ vexmend_repair_tests @@ CardMode.Repairs*
card: a Sony card under PRIVATE/XDROOT not searched for @@ tools/vexmend/CardLayout.cpp @@ constexpr int kSearchDepth = 4; @@ constexpr int kSearchDepth = 1; @@ vexmend_repair_tests @@ CardMode.Finds*
card: a repair's result accepted unchecked @@ tools/vexmend/CardRepair.cpp @@ std::string shortfall = ResultShortfall(options.encoder, staged.path, record.media, needs); @@ std::string shortfall; @@ vexmend_repair_tests @@ CardMode.Finds*
card: a spanned clip's further files left out of its repair @@ tools/vexmend/CardRepair.cpp @@ parts.insert(parts.end(), clip.spans.begin(), clip.spans.end()); @@ (void)parts; @@ vexmend_repair_tests @@ CardMode.Finds*
card: a clip's sidecar not read for its identity @@ tools/vexmend/CardRepair.cpp @@ const ClipIdentity sidecar = SidecarIdentity(clip.metadata); @@ const ClipIdentity sidecar; @@ vexmend_repair_tests @@ CardMode.Finds*
card: an XDCAM clip's XML not found beside it @@ tools/vexmend/CardLayout.cpp @@ for (const Place& f : clip) AddClips(f, false, false, "M01.XML"); @@ for (const Place& f : clip) AddClips(f, false, false, "M02.XML"); @@ vexmend_repair_tests @@ CardMode.Finds*
card: the identity not written into a result @@ tools/vexmend/CardRepair.cpp @@ WriteIdentity(staged.path, identity); @@ (void)identity; @@ vexmend_repair_tests @@ CardMode.Finds*
advance repair: long-GOP pictures after a gap kept up to the next key frame @@ code/src/MxfAdvanceRepair/plan/RepairPlan.cpp @@ for (size_t p = GapFreeEnd(place, group, next); p < next; ++p) undecodable[p] = true; @@ for (size_t p = next; p < next; ++p) undecodable[p] = true; @@ vexmend_repair_tests @@ Recordings/AdvanceRepair.*mpeg2_hd_422_50mbit_zeros_inside
EOF
)

field() { printf '%s\n' "$1" | awk -v n="$2" 'BEGIN { FS = " @@ " } { print $n }'; }

backups=$(mktemp -d)
restore() {
    for saved in "$backups"/*; do
        [ -e "$saved" ] || continue
        cp "$saved" "$root/$(basename "$saved" | sed 's|%|/|g')"
        rm -f "$saved"
    done
}
trap 'restore; rm -rf "$backups"' EXIT
trap 'exit 130' INT TERM

# Replaces the one occurrence of $2 in file $1 with $3 ("\n" in either stands
# for a line break); fails unless there is exactly one.
patch_once() {
    perl -e 'my ($file, $old, $new) = @ARGV; s/\\n/\n/g for $old, $new;
             local $/; open(my $in, "<", $file) or exit 4;
             my $text = <$in>; close $in; my $count = () = $text =~ /\Q$old\E/g;
             exit 3 if $count != 1; $text =~ s/\Q$old\E/$new/;
             open(my $out, ">", $file) or exit 4; print $out $text;' "$1" "$2" "$3"
}

build_target() {
    cmake --build "$build" --target "$1" -j2 >"$build/mutation-build.log" 2>&1
}

run_tests() {  # binary, filter
    timeout 900 "$build/tests/$1" --gtest_filter="$2" >"$build/mutation-test.log" 2>&1
}

table=$(printf '%s\n' "$faults" | grep -e "${only:-.}")
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXMEND_BUILD_BENCH=OFF >/dev/null || exit 2

# Without faults every binary builds and every filter passes.
for binary in $(printf '%s\n' "$table" | awk 'BEGIN { FS = " @@ " } { print $5 }' | sort -u); do
    filters=$(printf '%s\n' "$table" | awk -v b="$binary" 'BEGIN { FS = " @@ " } $5 == b { print $6 }' |
        sort -u | paste -sd: -)
    if ! build_target "$binary" || ! run_tests "$binary" "$filters"; then
        echo "the tests fail without a fault: $binary $filters (see $build)"
        exit 2
    fi
done

missed=0
broken=0
while IFS= read -r line; do
    [ -n "$line" ] || continue
    name=$(field "$line" 1); file=$(field "$line" 2); old=$(field "$line" 3)
    new=$(field "$line" 4); binary=$(field "$line" 5); filter=$(field "$line" 6)
    cp "$root/$file" "$backups/$(printf '%s' "$file" | sed 's|/|%|g')"
    if ! patch_once "$root/$file" "$old" "$new"; then
        echo "TABLE ERROR  $name: text not found exactly once in $file"
        broken=1
    elif ! build_target "$binary"; then
        echo "TABLE ERROR  $name: does not build"
        broken=1
    elif run_tests "$binary" "$filter"; then
        echo "MISSED       $name"
        missed=1
    else
        echo "caught       $name"
    fi
    restore
done <<EOF
$table
EOF

[ "$broken" -eq 0 ] || exit 2
exit "$missed"
