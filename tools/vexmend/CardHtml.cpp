#include "CardHtml.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "CardReport.h"
#include "Json.h"

namespace {

const char* const kReplacement = "\xef\xbf\xbd";  // U+FFFD

// The code point of one well-formed UTF-8 sequence.
char32_t CodePoint(const std::string& sequence)
{
    static const unsigned leadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = static_cast<unsigned char>(sequence[0]) & leadBits[sequence.size()];
    for (size_t i = 1; i < sequence.size(); ++i) {
        c = c << 6 | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    }
    return c;
}

// HTML text may hold no control character but tab and line ends, and no
// noncharacter.
bool Allowed(char32_t c)
{
    if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
    if (c >= 0x7F && c <= 0x9F) return false;
    if (c >= 0xFDD0 && c <= 0xFDEF) return false;
    return (c & 0xFFFE) != 0xFFFE;
}

// `text` as HTML text or a quoted attribute's value: markup characters as
// references, and a byte that is not part of well-formed UTF-8 (as
// JsonString takes it) or a character HTML does not allow as U+FFFD.
std::string Html(const std::string& text)
{
    std::string html;
    for (size_t at = 0; at < text.size();) {
        // The shortest well-formed piece from `at` is its one sequence.
        size_t length = 1;
        while (length <= 4 && !IsUtf8(text.substr(at, length))) ++length;
        if (length > 4) {
            html += kReplacement;
            ++at;
            continue;
        }
        const std::string piece = text.substr(at, length);
        at += length;
        switch (piece[0]) {
        case '&': html += "&amp;"; break;
        case '<': html += "&lt;"; break;
        case '>': html += "&gt;"; break;
        case '"': html += "&quot;"; break;
        case '\'': html += "&#39;"; break;
        default: html += Allowed(CodePoint(piece)) ? piece : kReplacement;
        }
    }
    return html;
}

std::string Number(int64_t n) { return std::to_string(n); }

std::string Name(const std::string& path)
{
    return path.empty() ? "-" : std::filesystem::u8path(path).filename().u8string();
}

// The strips' own width, stretched to the page's.
constexpr double kStripWidth = 1000;

// A segment of a strip: `count` of `total` from `from` on, never thinner
// than a hair so that one lost picture or damaged byte still shows.
std::string Segment(double from, double count, double total, const char* kind,
                    const std::string& title)
{
    const double width = std::min(std::max(count / total * kStripWidth, 2.0), kStripWidth);
    const double x = std::min(from / total * kStripWidth, kStripWidth - width);
    char rect[128];
    std::snprintf(rect, sizeof rect,
                  "<rect class=\"%s\" x=\"%.2f\" y=\"0\" width=\"%.2f\" height=\"1\">", kind, x,
                  width);
    return rect + ("<title>" + Html(title) + "</title></rect>");
}

const char* const kStripStart = "viewBox=\"0 0 1000 1\" preserveAspectRatio=\"none\" role=\"img\">";

// The clip's pictures along its length: those recovered, those repeated to
// stand for lost ones, and those lost (stated but not in the result).
std::string PictureStrip(const ClipRecord& r)
{
    const int64_t frames = r.media.frames, repeated = std::clamp<int64_t>(r.repeated, 0, frames),
                  lost = r.stated > frames ? r.stated - frames : 0;
    const double total = static_cast<double>(frames + lost);
    std::string svg = std::string("<svg class=\"strip pictures\" ") + kStripStart;
    if (total <= 0) {
        return svg + "<rect class=\"none\" width=\"1000\" height=\"1\"><title>no pictures read" +
               "</title></rect></svg>";
    }
    if (frames > repeated) {
        svg += Segment(0, frames - repeated, total, "recovered",
                       Number(frames - repeated) + " pictures recovered");
    }
    if (repeated > 0) {
        svg += Segment(frames - repeated, repeated, total, "repeated",
                       Number(repeated) + " pictures repeated for lost ones");
    }
    if (lost > 0) {
        svg += Segment(frames, lost, total, "lost",
                       Number(lost) + " pictures lost of " + Number(r.stated) + " stated");
    }
    return svg + "</svg>";
}

// The file's bytes with the ranges the scan found damaged.
std::string ByteStrip(const vexmend::ScanSummary& scan)
{
    const double total = static_cast<double>(std::max<uint64_t>(scan.fileSize, 1));
    std::string svg = std::string("<svg class=\"strip bytes\" ") + kStripStart +
                      "<rect class=\"read\" width=\"1000\" height=\"1\"><title>" +
                      std::to_string(scan.fileSize) + " bytes, " +
                      std::to_string(scan.damaged.size()) +
                      (scan.damaged.size() == 1 ? " damaged range" : " damaged ranges") +
                      "</title></rect>";
    for (const vexmend::ByteRun& run : scan.damaged) {
        if (run.length == 0) continue;
        svg += Segment(static_cast<double>(run.offset), static_cast<double>(run.length), total,
                       "damaged",
                       "bytes " + std::to_string(run.offset) + " to " +
                           std::to_string(run.offset + run.length - 1) + " damaged (" +
                           std::to_string(run.length) + " bytes)");
    }
    return svg + "</svg>";
}

const char* const kStyle =
    "body{font:14px/1.4 sans-serif;margin:1.5em;color:#222}"
    "table{border-collapse:collapse}th,td{border-bottom:1px solid #ddd;padding:4px 8px;"
    "text-align:left;vertical-align:top}td.n{text-align:right}"
    ".stopped{background:#fde8e8;border:1px solid #d64545;padding:6px 10px;font-weight:bold}"
    ".result{color:#555;font-size:90%}.failed .outcome{color:#b00;font-weight:bold}"
    ".strip{display:block;width:320px;height:14px;margin:2px 0}.strip.bytes{height:8px}"
    ".key{display:inline-block;width:14px;height:10px;margin:0 4px 0 12px}"
    ".recovered{fill:#2e8b57;background:#2e8b57}.repeated{fill:#e0a526;background:#e0a526}"
    ".lost{fill:#d64545;background:#d64545}.read{fill:#a9c1da;background:#a9c1da}"
    ".damaged{fill:#6b1f7a;background:#6b1f7a}.none{fill:#eee}";

}  // namespace

std::string CardReportHtml(const Card& card, const CardOptions& options, const CardRun& run)
{
    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         // Nothing but the page itself: no script runs, nothing is fetched.
         << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         << "style-src 'unsafe-inline'\">\n"
         << "<title>vexmend card report: " << Html(options.source) << "</title>\n<style>" << kStyle
         << "</style>\n</head>\n<body>\n<h1>Card report</h1>\n";
    if (run.stopped) {
        page << "<p class=\"stopped\">Stopped before the end: only the clips finished are "
                "listed.</p>\n";
    }
    std::string summary = CardSummary(run);
    if (!summary.empty() && summary.back() == '\n') summary.pop_back();
    page << "<p>" << Html(card.layout) << " card: " << Html(options.source) << ", results under "
         << Html(options.output) << "<br>" << Html(summary) << "</p>\n"
         << "<p class=\"legend\">Pictures:<span class=\"key recovered\"></span>recovered"
         << "<span class=\"key repeated\"></span>repeated for lost ones"
         << "<span class=\"key lost\"></span>lost<br>Bytes:<span class=\"key read\"></span>read"
         << "<span class=\"key damaged\"></span>damaged</p>\n"
         << "<table>\n<thead><tr><th>clip</th><th>outcome</th><th>code</th>"
         << "<th>pictures (recovered / stated)</th><th>audio tracks</th><th>timecode</th>"
         << "<th>sample</th><th>reason</th><th>along the clip</th></tr></thead>\n<tbody>\n";
    for (const ClipRecord& r : run.records) {
        page << "<tr class=\"" << Html(r.outcome) << "\"><td>" << Html(r.clip.inCard);
        if (r.clip.proxy) page << " (proxy)";
        if (!r.rejected.empty()) {
            page << "<br><span class=\"result\">general repair refused: " << Html(r.rejected)
                 << "</span>";
        }
        if (!r.result.empty() && r.clip.result != r.clip.inCard) {
            page << "<br><span class=\"result\">result: " << Html(r.clip.result) << "</span>";
        }
        page << "</td><td class=\"outcome\">" << Html(r.outcome) << "</td><td class=\"n\">"
             << r.code << "</td><td class=\"n\">" << r.media.frames << " / "
             << (r.stated > 0 ? Number(r.stated) : "?");
        if (r.repeated > 0) page << " (" << r.repeated << " repeated)";
        page << "</td><td class=\"n\">" << r.media.audio.size() << "</td><td>"
             << (r.media.timecode.empty() ? "-" : Html(r.media.timecode)) << "</td><td>"
             << Html(Name(r.sample)) << "</td><td>" << Html(r.reason) << "</td><td>"
             << PictureStrip(r) << (r.scan ? ByteStrip(*r.scan) : "") << "</td></tr>\n";
    }
    page << "</tbody>\n</table>\n</body>\n</html>\n";
    return page.str();
}
