// The command line: console texts, the attribute table and the checks of the
// five arguments.
#include "Quorvane.h"

#include "Kelvory_LiDAR.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Accepted attribute texts, the names printed in the request summary and the
// menu lines, by AttrID - 1.
static const char ValidAttrIDs[13][13] = {"1", "2", "3", "4",  "5",  "6", "7",
                                          "8", "9", "10", "11", "12", "13"};

static const char TextArray[13][200] = {"X",
                                        "Y",
                                        "Z",
                                        "Intensity",
                                        "Return Number",
                                        "Number of Returns",
                                        "Scan Direction Flag",
                                        "Edge of Flight Line",
                                        "Class",
                                        "Scan Angle Rank",
                                        "User Data / File Marker",
                                        "Point Source ID / User Bit Field",
                                        "GPS Time"};

static const char *const MenuLines[13] = {" 1\tX",
                                          " 2\tY",
                                          " 3\tZ",
                                          " 4\tIntensity",
                                          " 5\tReturn Number",
                                          " 6\tNumber of Returns",
                                          " 7\tScan Direction Flag",
                                          " 8\tEdge of Flight Line",
                                          " 9\tClassification",
                                          "10\tScan Angle Rank",
                                          "11\tUser Data         or   File Marker",
                                          "12\tPoint Source ID   or   User Bit Field",
                                          "13\tGPS Time\n"};

void usage(void)
{
    puts("Usage:\nQuorvane <Input LAS> <Output LAS> <Attribute> <Min> <Max>\n");
}

void list_attributes(void)
{
    for (const char *line : MenuLines)
        puts(line);
}

static size_t append_digits(const char *p, std::string &num)
{
    size_t n = 0;
    while (isdigit((unsigned char)p[n]))
        num += p[n++];
    return n;
}

double decimal_value(const char *s, bool *out_of_range)
{
    if (out_of_range)
        *out_of_range = false;
    const char *p = s;
    while (isspace((unsigned char)*p))
        p++;
    std::string num;
    if (*p == '+' || *p == '-')
        num += *p++;
    size_t digits = append_digits(p, num);
    p += digits;
    if (*p == '.') {
        num += *p++;
        size_t fraction = append_digits(p, num);
        p += fraction;
        digits += fraction;
    }
    if (digits == 0)
        return 0.0;  // no number at the start
    // An exponent counts only when digits follow its optional sign.
    if (*p == 'e' || *p == 'E') {
        const char *q = p + 1;
        if (*q == '+' || *q == '-')
            q++;
        if (isdigit((unsigned char)*q)) {
            num.append(p, (size_t)(q - p));
            append_digits(q, num);
        }
    }
    // The prefix is now plain decimal notation only, which strtod converts to
    // the nearest double.
    double v = strtod(num.c_str(), nullptr);
    if (std::isinf(v) && out_of_range)
        *out_of_range = true;
    return v;
}

// "%f\n" of v, at whatever length it needs.
static std::string six_decimals(double v)
{
    int n = snprintf(nullptr, 0, "%f\n", v);
    std::string a((size_t)n + 1, '\0');
    snprintf(&a[0], a.size(), "%f\n", v);
    a.resize((size_t)n);
    return a;
}

bool numeric_round_trip_ok(const char *s)
{
    bool out_of_range;
    double v = decimal_value(s, &out_of_range);
    if (out_of_range)
        return false;  // beyond a double: no value to use consistently
    std::string buffer1 = six_decimals(v);
    std::string buffer2 = std::string(s) + "\n";
    return strcmp(buffer1.c_str(), buffer2.c_str()) >= 0;
}

static int16_t attribute_id(const char *text)
{
    for (const char *valid : ValidAttrIDs)
        if (strcmp(text, valid) == 0)
            return (int16_t)atoi(text);
    return -1;
}

static void print_request_summary(const Request *rq)
{
    printf("\n\nInput File     :   %s\n", rq->filenamein);
    printf("Output File    :   %s\n\n", rq->filenameout);
    printf("Attribute = %s\n", TextArray[rq->AttrID - 1]);
    printf("Min: %.f    Max: %.f\n\n", rq->AttrMin, rq->AttrMax);
}

static int16_t refuse(const char *message)
{
    puts(message);
    usage();
    return -1;
}

int16_t validate_request(int argc, char **argv, Request *rq)
{
    if (argc != 6) {
        puts("\nWrong number of arguments");
        credits();
        usage();
        return -1;
    }
    credits();
    rq->cstart = clock();
    rq->AttrID = attribute_id(argv[3]);
    if (rq->AttrID < 0) {
        puts("\nWrong Attribute choice\n");
        list_attributes();
        usage();
        return -1;
    }
    if (!numeric_round_trip_ok(argv[4]))
        return refuse("\nError in specified minimum Attribute value\n");
    if (!numeric_round_trip_ok(argv[5]))
        return refuse("\nError in specified maximum Attribute value\n");
    rq->AttrMin = decimal_value(argv[4], nullptr);
    rq->AttrMax = decimal_value(argv[5], nullptr);
    if (rq->AttrMin > rq->AttrMax)
        return refuse("\nAttribute maximum should not be smaller than Attribute minimum\n");
    rq->filenamein = argv[1];
    rq->filenameout = argv[2];
    print_request_summary(rq);
    return 0;
}
