#include "SidecarXml.h"

#include <Poco/SAX/Attributes.h>
#include <Poco/SAX/DefaultHandler.h>
#include <Poco/SAX/SAXParser.h>
#include <Poco/SAX/XMLReader.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kSidecarLimit = 4 << 20;  // bytes: a clip's sidecar is a few KiB

// The elements whose text or attributes make the identity, by their path
// from the root.
const std::vector<std::string> kP2ClipId{"P2Main", "ClipContent", "GlobalClipID"};
const std::vector<std::string> kP2VideoTimecode{"P2Main", "ClipContent", "EssenceList", "Video",
                                                "StartTimecode"};
const std::vector<std::string> kP2AudioTimecode{"P2Main", "ClipContent", "EssenceList", "Audio",
                                                "StartTimecode"};
const std::vector<std::string> kXdcamMaterial{"NonRealTimeMeta", "TargetMaterial"};
const std::vector<std::string> kXdcamLtcTable{"NonRealTimeMeta", "LtcChangeTable"};
const std::vector<std::string> kXdcamLtcChange{"NonRealTimeMeta", "LtcChangeTable", "LtcChange"};

// What the elements above state, as they state it.
class SidecarHandler : public Poco::XML::DefaultHandler {
public:
    std::string root;
    std::string clipId, videoTimecode, audioTimecode;  // P2
    std::string umidRef, tcFps, startValue;            // XDCAM

    void startElement(const Poco::XML::XMLString&, const Poco::XML::XMLString& localName,
                      const Poco::XML::XMLString& qname,
                      const Poco::XML::Attributes& attributes) override
    {
        path.push_back(localName.empty() ? qname : localName);
        if (path.size() == 1) root = path.front();
        text = path == kP2ClipId          ? &clipId
               : path == kP2VideoTimecode ? &videoTimecode
               : path == kP2AudioTimecode ? &audioTimecode
                                          : nullptr;
        if (text && !text->empty()) text = nullptr;  // the first element of a kind counts
        if (path == kXdcamMaterial && umidRef.empty()) umidRef = attributes.getValue("", "umidRef");
        if (path == kXdcamLtcTable && tcFps.empty()) tcFps = attributes.getValue("", "tcFps");
        if (path == kXdcamLtcChange && startValue.empty() &&
            attributes.getValue("", "frameCount") == "0") {
            startValue = attributes.getValue("", "value");
        }
    }

    void endElement(const Poco::XML::XMLString&, const Poco::XML::XMLString&,
                    const Poco::XML::XMLString&) override
    {
        path.pop_back();
        text = nullptr;
    }

    void characters(const Poco::XML::XMLChar characters[], int start, int length) override
    {
        if (text) text->append(characters + start, static_cast<size_t>(length));
    }

private:
    std::vector<std::string> path;
    std::string* text = nullptr;
};

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes of exactly `count` pairs of hexadecimal digits; nothing otherwise.
std::optional<std::vector<uint8_t>> HexBytes(const std::string& text, size_t count)
{
    if (text.size() != count * 2) return std::nullopt;
    std::vector<uint8_t> bytes(count);
    for (size_t n = 0; n < count; ++n) {
        const int high = HexDigit(text[2 * n]), low = HexDigit(text[2 * n + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[n] = static_cast<uint8_t>(high << 4 | low);
    }
    return bytes;
}

std::optional<std::array<uint8_t, 32>> Umid(const std::string& text)
{
    const auto bytes = HexBytes(Trimmed(text), 32);
    if (!bytes) return std::nullopt;
    std::array<uint8_t, 32> umid{};
    std::copy(bytes->begin(), bytes->end(), umid.begin());
    return umid;
}

// An XDCAM change table's value: the timecode's four bytes of binary-coded
// decimal, frames first, with their flag bits (drop frame, colour frame,
// binary groups) masked off; drop-frame only at 30 and 60 frames a second.
std::string LtcTimecode(const std::string& value, const std::string& tcFps)
{
    const auto bytes = HexBytes(Trimmed(value), 4);
    const int rate = std::atoi(tcFps.c_str());
    if (!bytes || rate < 1 || rate > 60) return "";
    // At the rate 30 the frames digits count frames, not frame pairs.
    auto timecode = vexmend::DecodeSmpte12m(bytes->data(), 30);
    if (!timecode || timecode->hours > 23 || timecode->minutes > 59 || timecode->seconds > 59 ||
        timecode->frames >= rate) {
        return "";
    }
    timecode->dropFrame = timecode->dropFrame && rate % 30 == 0;
    return timecode->Text();
}

// A P2 start timecode, as "HH:MM:SS:FF" or with ";" for drop-frame.
std::string P2Timecode(const std::string& text)
{
    const auto timecode = ParseTimecode(Trimmed(text));
    return timecode ? timecode->Text() : "";
}

// Whether the text declares a document type or entities, or is not in an
// encoding that keeps ASCII as it is (a NUL byte: UTF-16 or UTF-32, where
// such a declaration would not be seen as bytes).
bool Refused(const std::string& text)
{
    return text.find("<!DOCTYPE") != std::string::npos ||
           text.find("<!ENTITY") != std::string::npos || text.find('\0') != std::string::npos;
}

}  // namespace

ClipIdentity SidecarIdentityOfText(const std::string& text)
{
    if (text.size() > kSidecarLimit || Refused(text)) return {};
    SidecarHandler handler;
    try {
        Poco::XML::SAXParser parser;
        parser.setFeature(Poco::XML::XMLReader::FEATURE_NAMESPACES, true);
        parser.setFeature(Poco::XML::XMLReader::FEATURE_EXTERNAL_GENERAL_ENTITIES, false);
        parser.setFeature(Poco::XML::XMLReader::FEATURE_EXTERNAL_PARAMETER_ENTITIES, false);
        parser.setContentHandler(&handler);
        parser.setErrorHandler(&handler);
        parser.parseString(text);
    } catch (...) {
        return {};  // not well formed: nothing of it is trusted
    }
    ClipIdentity identity;
    if (handler.root == kP2ClipId.front()) {
        identity.materialUmid = Umid(handler.clipId);
        identity.timecode = P2Timecode(handler.videoTimecode);
        if (identity.timecode.empty()) identity.timecode = P2Timecode(handler.audioTimecode);
        if (!identity.timecode.empty()) identity.timecodeFrom = "P2 XML";
    } else if (handler.root == kXdcamMaterial.front()) {
        identity.materialUmid = Umid(handler.umidRef);
        identity.timecode = LtcTimecode(handler.startValue, handler.tcFps);
        if (!identity.timecode.empty()) identity.timecodeFrom = "XDCAM XML";
    }
    return identity;
}

ClipIdentity SidecarIdentity(const std::string& path)
{
    try {
        std::ifstream file(fs::u8path(path), std::ios::binary);
        std::string text(kSidecarLimit + 1, '\0');
        file.read(&text[0], static_cast<std::streamsize>(text.size()));
        if (file.bad()) return {};
        text.resize(static_cast<size_t>(file.gcount()));
        return SidecarIdentityOfText(text);
    } catch (...) {
        return {};
    }
}
