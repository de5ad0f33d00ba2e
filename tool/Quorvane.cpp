// Quorvane: keeps the points of a LAS file whose chosen attribute lies in a
// closed range. Usage: Quorvane <Input LAS> <Output LAS> <Attribute> <Min> <Max>
#include "cli/request.h"
#include "platform/platform.h"
#include "run/filter_pass.h"

#include <cstdlib>

int main(int argc, char **argv)
{
    prepare_standard_output();
    Request rq;
    if (validate_request(argc, argv, &rq) < 0 || filter_pass(&rq) < 0)
        exit(-1);
    return 0;
}
