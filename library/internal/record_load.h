// Typed loads of record fields. Records are byte images with no alignment,
// so a field's bytes are copied out, never referenced in place. Internal to
// the project.
#ifndef RECORD_LOAD_H
#define RECORD_LOAD_H

#include <cstddef>
#include <cstring>

// The value of type T whose bytes start at `p`.
template <typename T>
T load(const unsigned char *p)
{
    T v;
    memcpy(&v, p, sizeof v);
    return v;
}

// Field `name` of the record struct `Record` whose bytes start at `rec`.
#define LOAD_FIELD(Record, name, rec) \
    load<decltype(Record::name)>((rec) + offsetof(Record, name))

#endif
