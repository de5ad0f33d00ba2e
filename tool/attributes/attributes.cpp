// The attribute table's facts that are asked at run time.
#include "attributes/attributes.h"

char attribute_axis(int16_t AttrID)
{
    switch (AttrID) {
#define QUORVANE_AXIS_CASE(id, text, name, menu, field, shift, bits, axis) \
    case id: return axis;
        QUORVANE_ATTRIBUTES(QUORVANE_AXIS_CASE)
#undef QUORVANE_AXIS_CASE
    }
    return 0;
}
