// Programs of this build run as a user runs them: started as processes of
// their own (fork and exec on POSIX, through a cross build's emulator;
// CreateProcess on Windows), their output captured exactly.
#include "run_tool.h"

#include "spawn.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

RunResult run_program(const std::string &program, const std::vector<std::string> &args, const std::string &cwd)
{
    return spawn(program, args, cwd, {});
}

std::string launcher_command()
{
    std::string command;
    for (const std::string &w : launcher())
        command += "'" + w + "' ";
    return command;
}

bool cross_build()
{
    return !launcher().empty();
}

RunResult run_quorvane(const std::vector<std::string> &args)
{
    return run_program(QUORVANE_EXE, args);
}

RunResult run_quorvane_in(const std::string &cwd, const std::vector<std::string> &args,
                          const std::function<void()> &prepare)
{
    return spawn(QUORVANE_EXE, args, cwd, prepare);
}

RunResult run_request(const std::string &request, const std::vector<std::string> &args,
                      const std::string &cwd)
{
    const std::string result_name = temp_file_name();
    std::vector<std::string> words = {result_name, request};
    words.insert(words.end(), args.begin(), args.end());
    RunResult r = spawn(TEST_CHILD_EXE, words, cwd, {});
    FILE *fp = fopen(result_name.c_str(), "r");
    r.returned = fp && fscanf(fp, "%d", &r.result) == 1;
    if (fp)
        fclose(fp);
    remove(result_name.c_str());
    return r;
}

void set_env(const char *name, const char *value)
{
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

void unset_env(const char *name)
{
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

std::vector<unsigned char> read_file(const std::string &path)
{
    std::vector<unsigned char> bytes;
    FILE *fp = fopen(path.c_str(), "rb");
    if (!fp)
        return bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    fclose(fp);
    return bytes;
}

bool file_exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

const char *const kBanner =
    "\nKelvory LiDAR Utilities"
    "\n\nDeveloped and maintained by the Quorvane maintainers"
    "\nKelvory LiDAR Utilities 1.0.0"
    "\nContact: through the project's issue tracker"
    "\n\n** No warranty regarding script behavior is given or implied **"
    "\n** Acknowledging the author's efforts ensures script updates and availability **\n";

const char *const kUsage = "Usage:\nQuorvane <Input LAS> <Output LAS> <Attribute> <Min> <Max>\n\n";

std::string summary_text(const std::string &in, const std::string &out, const std::string &name,
                         const std::string &min, const std::string &max)
{
    return "\n\nInput File     :   " + in + "\nOutput File    :   " + out + "\n\nAttribute = " + name +
           "\nMin: " + min + "    Max: " + max + "\n\n";
}

long printed_output_records(const std::string &out)
{
    const std::string label = "Output Records : ";
    size_t at = out.find(label);
    return at == std::string::npos ? -1 : strtol(out.c_str() + at + label.size(), nullptr, 10);
}

std::vector<CorpusFile> corpus_files()
{
    std::vector<CorpusFile> files;
    std::string dirs = CORPUS_DIRS;
    for (size_t start = 0; start < dirs.size();) {
        size_t end = dirs.find('|', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? dirs.size() : end + 1;
        std::ifstream manifest(dir + "/MANIFEST.md");
        std::string line;
        int column = -1;  // the expected kind's column in the table
        while (std::getline(manifest, line)) {
            std::vector<std::string> cells;
            std::istringstream row(line);
            for (std::string cell; std::getline(row, cell, '|');)
                cells.push_back(cell.substr(cell.find_first_not_of(' ') == std::string::npos
                                                ? cell.size() : cell.find_first_not_of(' ')));
            for (size_t c = 0; column < 0 && c < cells.size(); c++)
                if (cells[c].rfind("Expected", 0) == 0 || cells[c].rfind("check_las", 0) == 0)
                    column = (int)c;
            if (column > 0 && cells.size() > (size_t)column && cells[1].rfind("`", 0) == 0) {
                std::string name = cells[1].substr(1, cells[1].find('`', 1) - 1);
                files.push_back({dir + "/" + name, atoi(cells[column].c_str())});
            }
        }
    }
    return files;
}
