// The manual page's DIAGNOSTICS against the sources: every message that the
// tool and the library print is listed there, and every message listed there
// is one they print, so that neither can drift from the other.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The run's report, described under STANDARD OUTPUT rather than listed as
// diagnostics: the request summary, the counts, the header update's progress
// and the end, and the usage line.
const char *const kReportLines[] = {
    "Input File :", "Output File :", "Attribute = ", "Min: ", "Input Records :", "Output Records :",
    "% Retained :", "... Updating Header ...", "Header of file ", "Completed in ", "Usage:",
    "Quorvane <Input LAS>"};

// Printed elsewhere: the progress display on standard error, the test
// build's messages, the banner.
const char *const kNotMessages[] = {"progress.cpp", "seam.cpp", "banner.cpp"};

// The calls whose text is not a literal at the call, as `call(argument`:
// the helper that prints its callers' literals, and the attribute menu,
// whose lines are literals of the attribute table. Any other message must
// be a literal where it is printed, or this test could not find it.
const char *const kNotLiteral[] = {"refuse(const char *message", "puts(message", "puts(a.menu_line"};

struct Message {
    std::string text;   // a printed line, each conversion as kGap
    std::string where;  // file:line
};

std::string collapse_spaces(const std::string &s)
{
    std::string out;
    for (char c : s)
        if (c != ' ' || (!out.empty() && out.back() != ' '))
            out += c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The string literal (adjacent ones joined) that starts at `at`, escapes
// decoded; empty when there is none.
std::string literal_at(const std::string &src, size_t at)
{
    std::string text;
    for (;;) {
        while (at < src.size() && isspace((unsigned char)src[at]))
            at++;
        if (at >= src.size() || src[at] != '"')
            return text;
        for (at++; at < src.size() && src[at] != '"'; at++) {
            if (src[at] != '\\') {
                text += src[at];
                continue;
            }
            char e = src[++at];
            text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
        at++;
    }
}

const char kGap = '\x01';  // a conversion in a message

// The lines of a printf format, each conversion as kGap.
std::vector<std::string> printed_lines(const std::string &format)
{
    static const std::regex conversion("%(%|[-+ #0]*[0-9]*(\\.[0-9]*)?[a-zA-Z])");
    std::string text;
    size_t from = 0;
    for (std::sregex_iterator m(format.begin(), format.end(), conversion), end; m != end; ++m) {
        text += format.substr(from, m->position() - from);
        text += m->str() == "%%" ? '%' : kGap;
        from = m->position() + m->length();
    }
    text += format.substr(from);
    std::vector<std::string> lines;
    std::string line;
    for (char c : text + "\n") {
        if (c == '\n' || c == '\r') {
            line = collapse_spaces(line);
            if (!line.empty() && line != std::string(1, kGap))
                lines.push_back(line);
            line.clear();
        } else {
            line += c == '\t' ? ' ' : c;
        }
    }
    return lines;
}

// Every line printed by printf, puts or the request's refuse, in the tool's
// and the library's sources; `not_literal` gets each such call whose text is
// not a literal there.
std::vector<Message> source_messages(std::vector<std::string> &not_literal)
{
    static const std::regex call("\\b(printf|puts|refuse)\\s*\\(");
    std::vector<Message> messages;
    for (const char *folder : {"tool", "library"}) {
        for (const auto &entry :
             std::filesystem::recursive_directory_iterator(std::string(SOURCE_DIR) + "/" + folder)) {
            const std::string name = entry.path().filename().string();
            bool skipped = false;
            for (const char *other : kNotMessages)
                skipped |= name == other;
            if (skipped || (entry.path().extension() != ".cpp" && entry.path().extension() != ".h"))
                continue;
            const std::vector<unsigned char> bytes = read_file(entry.path().string());
            const std::string src(bytes.begin(), bytes.end());
            const std::string file = entry.path().lexically_relative(SOURCE_DIR).generic_string();
            for (std::sregex_iterator m(src.begin(), src.end(), call), end; m != end; ++m) {
                const size_t at = m->position() + m->length();
                const std::string where =
                    file + ":" + std::to_string(1 + std::count(src.begin(), src.begin() + at, '\n'));
                const std::string text = literal_at(src, at);
                const std::string head = (*m)[1].str() + "(" + src.substr(at, src.find_first_of(",)", at) - at);
                if (text.empty() &&
                    std::find(std::begin(kNotLiteral), std::end(kNotLiteral), head) == std::end(kNotLiteral))
                    not_literal.push_back(where + ": " + head);
                for (const std::string &line : printed_lines(text))
                    messages.push_back({line, where});
            }
        }
    }
    return messages;
}

// The bold entries of DIAGNOSTICS (".B" after ".TP" or ".TQ"), unescaped.
std::vector<std::string> manual_entries()
{
    const std::vector<unsigned char> bytes = read_file(MAN_PAGE);
    std::istringstream page(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> entries;
    std::string line, previous;
    bool inside = false;
    while (std::getline(page, line)) {
        if (line.rfind(".SH", 0) == 0)
            inside = line == ".SH DIAGNOSTICS";
        if (inside && line.rfind(".B ", 0) == 0 && (previous == ".TP" || previous == ".TQ")) {
            std::string text = line.substr(3);
            for (const auto &[from, to] : std::vector<std::pair<std::string, std::string>>{
                     {"\\fI", ""}, {"\\fP", ""}, {"\\fB", ""}, {"\\fR", ""}, {"\\-", "-"}, {"\\(aq", "'"},
                     {"\\e", "\\"}})
                for (size_t at; (at = text.find(from)) != std::string::npos;)
                    text.replace(at, from.size(), to);
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
                text = text.substr(1, text.size() - 2);
            entries.push_back(collapse_spaces(text));
        }
        previous = line;
    }
    return entries;
}

// A pattern in which `gap` stands for any text and the rest is literal.
std::regex with_gaps(const std::string &text, const std::string &gap)
{
    static const std::regex special("[.^$|()\\[\\]{}*+?\\\\]");
    std::string pattern;
    size_t from = 0;
    for (size_t at; (at = text.find(gap, from)) != std::string::npos; from = at + gap.size())
        pattern += std::regex_replace(text.substr(from, at - from), special, "\\$&") + ".*";
    return std::regex(pattern + std::regex_replace(text.substr(from), special, "\\$&"));
}

// A message and an entry agree when either, its gaps read as any text,
// matches the other: the entry's "is not .las" is the message's "is not .%s",
// and its "version ..." both "version %c.x" and "version %c.%c".
bool agree(const std::string &message, const std::string &entry)
{
    return std::regex_match(entry, with_gaps(message, std::string(1, kGap))) ||
           std::regex_match(message, with_gaps(entry, "..."));
}

// A message as the manual writes it.
std::string shown(std::string message)
{
    for (size_t at; (at = message.find(kGap)) != std::string::npos;)
        message.replace(at, 1, "...");
    return message;
}

bool is_report_line(const std::string &message)
{
    for (const char *start : kReportLines)
        if (message.rfind(start, 0) == 0)
            return true;
    return false;
}

TEST(ManualDiagnostics, list_every_message_the_sources_print_and_no_other)
{
    std::vector<std::string> not_literal;
    const std::vector<Message> messages = source_messages(not_literal);
    for (const std::string &call : not_literal)
        ADD_FAILURE() << call << ": a message that is no literal at its call, which this test cannot read";
    const std::vector<std::string> entries = manual_entries();
    ASSERT_GE(messages.size(), 40u) << "too few messages read from " << SOURCE_DIR;
    ASSERT_GE(entries.size(), 30u) << "too few entries read from DIAGNOSTICS in " << MAN_PAGE;

    for (const Message &m : messages) {
        if (is_report_line(m.text))
            continue;
        bool listed = false;
        for (const std::string &e : entries)
            listed |= agree(m.text, e);
        EXPECT_TRUE(listed) << m.where << " prints \"" << shown(m.text) << "\", which DIAGNOSTICS does not list";
    }
    for (const std::string &e : entries) {
        bool printed = false;
        for (const Message &m : messages)
            printed |= agree(m.text, e);
        EXPECT_TRUE(printed) << "DIAGNOSTICS lists \"" << e << "\", which nothing prints";
    }
    // The report lines left out above are still printed, as written here.
    for (const char *start : kReportLines) {
        bool printed = false;
        for (const Message &m : messages)
            printed |= m.text.rfind(start, 0) == 0;
        EXPECT_TRUE(printed) << "no source prints a line starting \"" << start << "\"";
    }
}

}  // namespace
