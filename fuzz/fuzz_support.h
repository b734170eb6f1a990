// What the fuzz targets share, included once by each, first: each defines fuzzOne(bytes); assert
// stays on for a broken promise; and ZAVEK_FUZZ_REPLAY builds the driver that replays the committed
// corpus in the test suite.

#undef NDEBUG
#include <QDir>

#include <cassert>

int fuzzOne(const QByteArray& bytes);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzOne(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
}

#ifdef ZAVEK_FUZZ_REPLAY
// Each file of the given folder once; a crash or a broken promise fails, so does no input.
int main(int, char** argv) {
    const QFileInfoList inputs = QDir(argv[1]).entryInfoList(QDir::Files);
    for (const QFileInfo& input : inputs)
        if (QFile file(input.filePath()); file.open(QIODevice::ReadOnly))
            fuzzOne(file.readAll());
    return inputs.isEmpty();
}
#endif
