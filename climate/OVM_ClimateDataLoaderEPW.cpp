#include "OVM_ClimateDataLoader.h"

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"

namespace OVM {

void ClimateDataLoader::readClimateDataEPW(const ZEB::Path & fname, bool /*headerOnly*/) {
	throw ZEB::Exception(ZEB::FormatString("Reading EPW climate data files is not supported, cannot read '%1'.")
						 .arg(fname), "[ClimateDataLoader::readClimateDataEPW]");
}

} // namespace OVM
