// Default public header blocks for new LAS 1.0, 1.1 and 1.2 files.
//
// Only the fields below are written; the tails of GUIDData4 and
// SystemIdentifier and the last 8 bytes of GeneratingSoftware keep whatever
// the caller's record held. Fields are assigned one by one (never through a
// pointer to a packed member) so unaligned fields are stored correctly.
#include "Kelvory_LiDAR.h"

#include <cstddef>
#include <cstring>

namespace {

// The generating-software text and its terminator: the first 24 bytes of the
// 32-byte field.
const char kGeneratingSoftware[] = "Kelvory LiDAR Utilities";
static_assert(sizeof kGeneratingSoftware == 24, "23 characters and a terminator");

// Writes every default. The bytes at offsets 4 to 7, 90 and 92 are named
// differently in each layout and are all zero; they are cleared by their
// place between the named fields around them.
template <typename Header>
void fill_header(Header *ph, uint8_t version_minor)
{
    unsigned char *bytes = reinterpret_cast<unsigned char *>(ph);
    const size_t after_signature = sizeof ph->LASF;
    const size_t after_software = offsetof(Header, GeneratingSoftware) + sizeof ph->GeneratingSoftware;
    memset(bytes + after_signature, 0, offsetof(Header, GUIDData1) - after_signature);
    memset(bytes + after_software, 0, offsetof(Header, HeaderSize) - after_software);
    memcpy(ph->LASF, "LASF", 4);
    ph->GUIDData1 = 0;
    ph->GUIDData2 = 0;
    ph->GUIDData3 = 0;
    ph->GUIDData4[0] = 0;
    ph->VersionMajor = 1;
    ph->VersionMinor = version_minor;
    ph->SystemIdentifier[0] = '\0';
    memcpy(ph->GeneratingSoftware, kGeneratingSoftware, sizeof kGeneratingSoftware);
    ph->HeaderSize = LAS_HEADER_SIZE;
    ph->OffsetToData = LAS_HEADER_SIZE;
    ph->NumberOfVariableLengthRecords = 0;
    ph->PointDataFormatID = 0;
    // 0 matches no point format: the caller must choose one and its length.
    ph->PointDataRecordLength = 0;
    ph->NumberOfPointReturns = 0;
    for (int r = 0; r < 5; r++)
        ph->NumberOfPointsByReturn[r] = 0;
    // Unit scale and zero offset: a stored coordinate equals the real one.
    ph->XScaleFactor = ph->YScaleFactor = ph->ZScaleFactor = 1.0;
    ph->XOffset = ph->YOffset = ph->ZOffset = 0.0;
    ph->MaxX = ph->MinX = ph->MaxY = ph->MinY = ph->MaxZ = ph->MinZ = 0.0;
}

}  // namespace

void initialize_header10(LAS10Header *ph)
{
    fill_header(ph, 0);
}

void initialize_header11(LAS11Header *ph)
{
    fill_header(ph, 1);
}

void initialize_header12(LAS12Header *ph)
{
    fill_header(ph, 2);
}
