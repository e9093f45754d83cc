// Fuzz target of fmi2Instantiate's texts: the first byte picks the interface type (bit 0: model
// exchange) and logging (bit 1), the bytes up to the next zero byte are the instance name, the rest
// up to the next zero byte the resource location. Every message reaches a logger that prints it as
// a host does (FuzzFMU::logger). An instance that is created must hold a location that names an
// absolute local path, whose file URI reads back to the same path; it then answers the calls that
// need no initialisation and is freed. A crash, a sanitizer report or a broken rule is a finding.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzFMU.h"
#include "FuzzSupport.h"
#include "ZEB_Exception.h"
#include "ZEB_Path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size) {
	FuzzSupport::silence();
	if (size == 0)
		return 0;
	const std::string rest(reinterpret_cast<const char *>(data) + 1, size - 1);
	const std::size_t split = rest.find('\0');
	const std::string name = rest.substr(0, split);
	const std::string location = split == std::string::npos ? std::string() : rest.substr(split + 1).c_str();
	const fmi2Type type = (data[0] & 1) != 0 ? fmi2ModelExchange : fmi2CoSimulation;
	const fmi2Boolean loggingOn = (data[0] & 2) != 0 ? fmi2True : fmi2False;

	fmi2Component c = fmi2Instantiate(name.c_str(), type, InstanceDataCommon::GUID, location.c_str(),
									  FuzzFMU::callbacks(), fmi2False, loggingOn);
	if (c == nullptr)
		return 0;
	FuzzFMU::require(!name.empty(), "An instance without a name was created.");
	try {
		const ZEB::Path path = ZEB::Path::fromFileURI(location);
		FuzzFMU::require(path.isAbsolute() && path.str().find('\0') == std::string::npos,
						 "An instance was created on a location that names no absolute path.");
		FuzzFMU::require(ZEB::Path::fromFileURI(path.toFileURI()).str() == path.str(),
						 "The file URI of a resource path reads back to another path.");
	}
	catch (ZEB::Exception &) {
		FuzzFMU::require(false, "An instance was created on a location that its initialisation refuses.");
	}
	const fmi2ValueReference resultsRoot = 42;
	fmi2String text = nullptr;
	FuzzFMU::require(fmi2SetDebugLogging(c, fmi2True, 0, nullptr) == fmi2OK &&
					 fmi2GetString(c, &resultsRoot, 1, &text) == fmi2OK &&
					 fmi2SetDebugLogging(c, fmi2False, 0, nullptr) == fmi2OK,
					 "A new instance does not answer.");
	fmi2FreeInstance(c);
	return 0;
}
