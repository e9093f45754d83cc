#ifndef OVM_ConstantsH
#define OVM_ConstantsH

namespace OVM {

/*! Marks a missing value in every climate data vector (stored there as the double -9999.0). */
const int DATA_NOT_VALID = -9999;

/*! First identification word of the native binary climate file: the bytes "CLDF". */
const unsigned int MAGIC_FIRST_NUMBER = 0x46444C43;
/*! Second identification word of the native binary climate file: the bytes "RLZ!". */
const unsigned int MAGIC_SECOND_NUMBER = 0x215A4C52;
/*! Version of the native binary climate file format. */
const unsigned int MAJOR_VERSION_NUMBER = 1;
const unsigned int MINOR_VERSION_NUMBER = 0;

/*! Versions of the climate library. */
const char * const VERSION = "1.1";
const char * const LONG_VERSION = "1.1.0";

} // namespace OVM

#endif // OVM_ConstantsH
