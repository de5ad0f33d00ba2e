// The manual page's DIAGNOSTICS against the sources: every message that the
// tool and the library print is listed there, and every message listed there
// is one they print, so that neither can drift from the other.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The run's report, described under STANDARD OUTPUT rather than listed as
// diagnostics: the request summary, the counts, the header update's progress
// and the end, and the usage line.
const std::vector<std::string> kReportLines = {
    "Input File :", "Output File :", "Attribute = ", "Min: ", "Input Records :", "Output Records :",
    "% Retained :", "... Updating Header ...", "Header of file ", "Completed in ", "Usage:",
    "Quorvane <Input LAS>"};

// Printed elsewhere: the progress display on standard error, the test
// build's messages, the banner.
const std::vector<std::string> kNotMessages = {"progress.cpp", "seam.cpp", "banner.cpp"};

// The calls whose text is not a literal at the call, as `call(argument`:
// the helper that prints its callers' literals, and the attribute menu,
// whose lines are literals of the attribute table. Any other message must
// be a literal where it is printed, or this test could not find it.
const std::vector<std::string> kNotLiteral = {"refuse(const char *message", "puts(message", "puts(a.menu_line"};

template <class List, class Test> bool any(const List &list, Test test)
{
    return std::any_of(list.begin(), list.end(), test);
}

struct Message {
    std::string text;   // a printed line, each conversion as kGap
    std::string where;  // file:line
};

std::string collapse_spaces(const std::string &s)
{
    std::string out = std::regex_replace(s, std::regex(" +"), " ");
    return std::regex_replace(out, std::regex("^ | $"), "");
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

// The lines of a printf format, each conversion as kGap (a "%%" read first,
// as the "%" it prints, is no conversion).
std::vector<std::string> printed_lines(std::string text)
{
    text = std::regex_replace(text, std::regex("%%"), "\x02");
    text = std::regex_replace(text, std::regex("%[-+ #0]*[0-9]*(\\.[0-9]*)?[a-zA-Z]"), std::string(1, kGap));
    text = std::regex_replace(text, std::regex("\x02"), "%");
    std::istringstream lines(std::regex_replace(text, std::regex("\r"), "\n"));
    std::vector<std::string> printed;
    for (std::string line; std::getline(lines, line);) {
        line = collapse_spaces(std::regex_replace(line, std::regex("\t"), " "));
        if (!line.empty() && line != std::string(1, kGap))
            printed.push_back(line);
    }
    return printed;
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
            const std::filesystem::path &path = entry.path();
            if (std::count(kNotMessages.begin(), kNotMessages.end(), path.filename().string()) ||
                (path.extension() != ".cpp" && path.extension() != ".h"))
                continue;
            const std::vector<unsigned char> bytes = read_file(path.string());
            const std::string src(bytes.begin(), bytes.end());
            const std::string file = path.lexically_relative(SOURCE_DIR).generic_string();
            for (std::sregex_iterator m(src.begin(), src.end(), call), end; m != end; ++m) {
                const size_t at = m->position() + m->length();
                const std::string where =
                    file + ":" + std::to_string(1 + std::count(src.begin(), src.begin() + at, '\n'));
                const std::string text = literal_at(src, at);
                const std::string head = (*m)[1].str() + "(" + src.substr(at, src.find_first_of(",)", at) - at);
                if (text.empty() && !std::count(kNotLiteral.begin(), kNotLiteral.end(), head))
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
    for (; std::getline(page, line); previous = line) {
        if (line.rfind(".SH", 0) == 0)
            inside = line == ".SH DIAGNOSTICS";
        if (!inside || line.rfind(".B ", 0) != 0 || (previous != ".TP" && previous != ".TQ"))
            continue;
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

bool starts(const std::string &text, const std::string &start) { return text.rfind(start, 0) == 0; }

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
        const bool report = any(kReportLines, [&](const std::string &s) { return starts(m.text, s); });
        EXPECT_TRUE(report || any(entries, [&](const std::string &e) { return agree(m.text, e); }))
            << m.where << " prints \"" << std::regex_replace(m.text, std::regex(std::string(1, kGap)), "...")
            << "\", which DIAGNOSTICS does not list";
    }
    for (const std::string &e : entries)
        EXPECT_TRUE(any(messages, [&](const Message &m) { return agree(m.text, e); }))
            << "DIAGNOSTICS lists \"" << e << "\", which nothing prints";
    // The report lines left out above are still printed, as written here.
    for (const std::string &start : kReportLines)
        EXPECT_TRUE(any(messages, [&](const Message &m) { return starts(m.text, start); }))
            << "no source prints a line starting \"" << start << "\"";
}

}  // namespace
