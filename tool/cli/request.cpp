// The command line: console texts, the attributes' texts and the checks of
// the five arguments.
#include "cli/request.h"

#include "Kelvory_LiDAR.h"
#include "attributes/attributes.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// The console texts of each attribute, from the attribute table: the
// accepted argument text (ValidAttrIDs), the name printed in the request
// summary (TextArray) and the menu line.
struct AttributeTexts {
    int16_t AttrID;
    const char *ValidAttrIDs;
    const char *TextArray;
    const char *menu_line;
};

#define QUORVANE_ATTRIBUTE_TEXTS(id, text, name, menu, ...) {id, text, name, menu},
static const AttributeTexts Attributes[] = {QUORVANE_ATTRIBUTES(QUORVANE_ATTRIBUTE_TEXTS)};
#undef QUORVANE_ATTRIBUTE_TEXTS

void usage(void)
{
    puts("Usage:\nQuorvane <Input LAS> <Output LAS> <Attribute> <Min> <Max>\n");
}

void list_attributes(void)
{
    for (const AttributeTexts &a : Attributes)
        puts(a.menu_line);
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

bool numeric_round_trip_ok(const char *s, double *value)
{
    bool out_of_range;
    const double v = *value = decimal_value(s, &out_of_range);
    if (out_of_range)
        return false;  // beyond a double: no value to use consistently
    std::string buffer1 = six_decimals(v);
    std::string buffer2 = std::string(s) + "\n";
    return strcmp(buffer1.c_str(), buffer2.c_str()) >= 0;
}

static const AttributeTexts *attribute_named(const char *text)
{
    for (const AttributeTexts &a : Attributes)
        if (strcmp(text, a.ValidAttrIDs) == 0)
            return &a;
    return nullptr;
}

static void print_request_summary(const Request *rq, const AttributeTexts *attr)
{
    printf("\n\nInput File     :   %s\n", rq->filenamein);
    printf("Output File    :   %s\n\n", rq->filenameout);
    printf("Attribute = %s\n", attr->TextArray);
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
    const AttributeTexts *attr = attribute_named(argv[3]);
    if (!attr) {
        puts("\nWrong Attribute choice\n");
        list_attributes();
        usage();
        return -1;
    }
    if (!numeric_round_trip_ok(argv[4], &rq->AttrMin))
        return refuse("\nError in specified minimum Attribute value\n");
    if (!numeric_round_trip_ok(argv[5], &rq->AttrMax))
        return refuse("\nError in specified maximum Attribute value\n");
    rq->AttrID = attr->AttrID;
    if (rq->AttrMin > rq->AttrMax)
        return refuse("\nAttribute maximum should not be smaller than Attribute minimum\n");
    rq->filenamein = argv[1];
    rq->filenameout = argv[2];
    print_request_summary(rq, attr);
    return 0;
}
