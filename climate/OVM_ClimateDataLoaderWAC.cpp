#include "OVM_ClimateDataLoader.h"

#include "ZEB_Exception.h"
#include "ZEB_FormatString.h"

namespace OVM {

void ClimateDataLoader::readClimateDataWAC(const ZEB::Path & fname, bool /*headerOnly*/) {
	throw ZEB::Exception(ZEB::FormatString("Reading WAC climate data files is not supported, cannot read '%1'.")
						 .arg(fname), "[ClimateDataLoader::readClimateDataWAC]");
}

} // namespace OVM
