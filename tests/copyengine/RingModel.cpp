#include "RingModel.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

namespace {

constexpr uint32_t kUnitBytes = 2; // UTF-16, as on Windows

struct Queued {
    size_t start;
    size_t end;
    uint32_t dataLength;
    uint32_t valid;
    uint64_t sequence;
    bool first;
    size_t file;
};

// What the reader stored for one file, to compare with what the writer reads.
struct FileImage {
    std::vector<unsigned char> record; // the full record type's size; only the first recordBytes are carried
    uint32_t recordBytes;
    std::vector<uint16_t> destination; // terminated
    std::vector<uint16_t> source;
    FirstChunkLayout layout;
};

unsigned char DataByte(uint64_t sequence) {
    return static_cast<unsigned char>(sequence * 37 + 1);
}

unsigned char HeaderByte(uint64_t sequence, size_t i) {
    return static_cast<unsigned char>(sequence * 11 + i * 3 + 5);
}

std::vector<uint16_t> PathUnits(uint32_t units, uint64_t seed) {
    std::vector<uint16_t> path(units + 1, 0);
    for (uint32_t i = 0; i < units; ++i)
        path[i] = static_cast<uint16_t>(1 + (seed * 7919 + i * 31) % 0xFFFE);
    return path;
}

FileImage MakeImage(const RecordGeometry& geometry, const RingModelFile& file, size_t index) {
    FileImage image;
    image.recordBytes =
        static_cast<uint32_t>(RoundUp(geometry.recordNameOffset + (uint64_t(file.nameUnits) + 1) * kUnitBytes, 8));
    // Bytes past what is carried are set too: the writer must not see them.
    image.record.assign(geometry.recordBytes, 0xEE);
    for (uint32_t i = 0; i < geometry.recordNameOffset; ++i)
        image.record[i] = static_cast<unsigned char>(index * 13 + i);
    const std::vector<uint16_t> name = PathUnits(file.nameUnits, index + 1000);
    memcpy(&image.record[geometry.recordNameOffset], name.data(), name.size() * kUnitBytes);
    for (size_t i = geometry.recordNameOffset + name.size() * kUnitBytes; i < image.recordBytes; ++i)
        image.record[i] = 0;
    image.destination = PathUnits(file.destinationUnits, index * 2 + 1);
    image.source = PathUnits(file.sourceUnits, index * 2 + 2);
    return image;
}

class Model {
public:
    Model(const RingModelOptions& options, const std::vector<RingModelFile>& files)
        : options_(options), files_(files), ring_(new unsigned char[options.ringBytes]) {}

    std::string Run(const std::function<uint32_t()>& choose) {
        const RecordGeometry& geometry = options_.geometry;
        images_.reserve(files_.size());
        for (size_t index = 0; index < files_.size(); ++index) {
            const RingModelFile& file = files_[index];
            images_.push_back(MakeImage(geometry, file, index));
            FileImage& image = images_.back();
            if (!LayoutFirstChunk(geometry.chunkHeaderBytes, image.recordBytes, image.destination.size() * kUnitBytes,
                                  image.source.size() * kUnitBytes, &image.layout))
                return "no layout for file " + std::to_string(index);
            uint64_t remaining = file.size;
            bool first = true;
            for (;;) {
                const uint32_t headerBytes = first ? image.layout.headerBytes : geometry.chunkHeaderBytes;
                uint32_t valid = 0;
                if (!Reserve(headerBytes, remaining, first, index, choose, &valid))
                    return failure_;
                first = false;
                const bool last = remaining <= queue_.back().dataLength;
                remaining -= valid;
                if (last)
                    break;
            }
        }
        // The end of the job is a chunk of its own.
        uint32_t valid = 0;
        if (!Reserve(geometry.chunkHeaderBytes, 0, false, SIZE_MAX, choose, &valid))
            return failure_;
        while (!queue_.empty()) {
            if (!WriterStep())
                return failure_;
        }
        return std::string();
    }

private:
    bool Fail(const std::string& what) {
        failure_ = what + " (chunk " + std::to_string(sequence_) + ", read " + std::to_string(readPos_) + ", write " +
                   std::to_string(writePos_) + ")";
        return false;
    }

    bool Reserve(uint32_t headerBytes, uint64_t remaining, bool first, size_t file,
                 const std::function<uint32_t()>& choose, uint32_t* valid) {
        const ChunkPlacement place =
            PlaceChunk(options_.ringBytes, writePos_, options_.sector, headerBytes, remaining, options_.maxPiece);
        if (place.start > options_.ringBytes || place.total > options_.ringBytes - place.start)
            return Fail("chunk of " + std::to_string(place.total) + " bytes at " + std::to_string(place.start) +
                        " leaves the ring");
        if (place.dataLength > 0 && place.start % options_.sector != 0)
            return Fail("data not on a sector");
        if (headerBytes > place.headerSize)
            return Fail("header larger than its reservation");
        while (!queue_.empty() && (choose() % 4 == 0 || !IsChunkSpaceFree(place, readPos_, writePos_, false))) {
            if (!WriterStep())
                return false;
        }
        readPos_ = ReadPosAfterReserve(place, readPos_, queue_.empty());
        writePos_ = place.start + place.total;
        const size_t end = place.start + place.total;
        for (const Queued& queued : queue_) {
            if (end > queued.start && place.start < queued.end)
                return Fail("reservation [" + std::to_string(place.start) + "," + std::to_string(end) +
                            ") overlaps queued [" + std::to_string(queued.start) + "," + std::to_string(queued.end) +
                            ")");
        }
        ++sequence_;
        *valid = static_cast<uint32_t>(std::min<uint64_t>(remaining, place.dataLength));
        unsigned char* data = ring_.get() + place.start;
        memset(data, DataByte(sequence_), *valid);
        unsigned char* header = data + place.dataLength;
        for (uint32_t i = 0; i < options_.geometry.chunkHeaderBytes; ++i)
            header[i] = HeaderByte(sequence_, i);
        if (first) {
            if (options_.onFirstChunk)
                options_.onFirstChunk(place.start + place.dataLength);
            const FileImage& image = images_[file];
            StoreFirstChunk(header, image.layout, image.record.data(), image.destination.data(), image.source.data());
        }
        queue_.push_back({place.start, end, place.dataLength, *valid, sequence_, first, file});
        return true;
    }

    bool WriterStep() {
        const Queued chunk = queue_.front();
        const unsigned char* data = ring_.get() + chunk.start;
        unsigned char expected[4096];
        memset(expected, DataByte(chunk.sequence), sizeof expected);
        for (uint32_t at = 0; at < chunk.valid; at += sizeof expected) {
            if (memcmp(data + at, expected, std::min<size_t>(sizeof expected, chunk.valid - at)) != 0)
                return Fail("data of chunk " + std::to_string(chunk.sequence) + " changed near byte " +
                            std::to_string(at));
        }
        const unsigned char* header = data + chunk.dataLength;
        for (uint32_t i = 0; i < options_.geometry.chunkHeaderBytes; ++i) {
            if (header[i] != HeaderByte(chunk.sequence, i))
                return Fail("header of chunk " + std::to_string(chunk.sequence) + " changed");
        }
        if (chunk.first && !CheckFirstChunk(chunk, header))
            return false;
        readPos_ = chunk.end;
        queue_.pop_front();
        return true;
    }

    bool CheckFirstChunk(const Queued& chunk, const unsigned char* header) {
        const FileImage& image = images_[chunk.file];
        const RecordGeometry& geometry = options_.geometry;
        std::vector<unsigned char> record(geometry.recordBytes, 0xCC);
        FirstChunkView view{};
        const uint32_t headerSize = static_cast<uint32_t>(chunk.end - chunk.start - chunk.dataLength);
        if (!LoadFirstChunk(header, geometry.chunkHeaderBytes, headerSize, record.data(),
                            geometry.recordNameOffset + kUnitBytes, record.size(), kUnitBytes, &view))
            return Fail("first chunk of file " + std::to_string(chunk.file) + " not read back");
        if (memcmp(record.data(), image.record.data(), image.recordBytes) != 0 ||
            std::any_of(record.begin() + image.recordBytes, record.end(), [](unsigned char b) { return b != 0; }))
            return Fail("record of file " + std::to_string(chunk.file) + " read back different");
        if (view.destinationBytes != image.destination.size() * kUnitBytes ||
            memcmp(view.destination, image.destination.data(), view.destinationBytes) != 0 ||
            view.sourceBytes != image.source.size() * kUnitBytes ||
            memcmp(view.source, image.source.data(), view.sourceBytes) != 0)
            return Fail("paths of file " + std::to_string(chunk.file) + " read back different");
        return true;
    }

    const RingModelOptions options_;
    const std::vector<RingModelFile>& files_;
    std::unique_ptr<unsigned char[]> ring_;
    std::vector<FileImage> images_;
    std::deque<Queued> queue_;
    size_t readPos_ = 0;
    size_t writePos_ = 0;
    uint64_t sequence_ = 0;
    std::string failure_;
};

} // namespace

std::string RunRingModel(const RingModelOptions& options, const std::vector<RingModelFile>& files,
                         const std::function<uint32_t()>& choose) {
    Model model(options, files);
    return model.Run(choose);
}
