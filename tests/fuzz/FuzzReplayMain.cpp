// Feeds files to a fuzz target without libFuzzer, so that every build replays the corpus: each
// argument is a file or a directory whose regular files are read in name order. A target that
// finds a fault crashes or aborts; a missing or empty corpus is an error of its own.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size);

namespace {

bool readFile(const std::filesystem::path & path, std::vector<std::uint8_t> & bytes) {
	std::ifstream in(path, std::ios::binary);
	if (!in)
		return false;
	bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
	return !in.bad();
}

} // namespace

int main(int argc, char * argv[]) {
	std::vector<std::filesystem::path> files;
	for (int i = 1; i < argc; ++i) {
		std::error_code ec;
		const std::filesystem::path arg(argv[i]);
		if (std::filesystem::is_directory(arg, ec)) {
			for (const auto & entry : std::filesystem::directory_iterator(arg, ec))
				if (entry.is_regular_file())
					files.push_back(entry.path());
			if (ec) {
				std::fprintf(stderr, "Cannot list %s: %s\n", argv[i], ec.message().c_str());
				return 2;
			}
		}
		else
			files.push_back(arg);
	}
	std::sort(files.begin(), files.end());
	if (files.empty()) {
		std::fprintf(stderr, "Usage: %s FILE-OR-DIRECTORY...; no input found.\n", argv[0]);
		return 2;
	}
	for (const std::filesystem::path & file : files) {
		std::vector<std::uint8_t> bytes;
		if (!readFile(file, bytes)) {
			std::fprintf(stderr, "Cannot read %s\n", file.c_str());
			return 2;
		}
		// a copy holds exactly the file's size, so that the sanitizers see every read beyond it
		const std::vector<std::uint8_t> input(bytes);
		LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
	}
	std::printf("Replayed %zu inputs.\n", files.size());
	return 0;
}
