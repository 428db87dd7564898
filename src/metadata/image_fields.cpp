// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures through Exiv2, which reads the file through the descriptor the field reader opened,
// never by its path: a path could be swapped for a link between two opens.
#include <cerrno>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>
#include <memory>
#include <mutex>
#include <vector>

#include "metadata/field_text.h"
#include "metadata/readers.h"
#include "platform/read_only_file.h"

// Exiv2 0.27 hands images and streams around in std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zr {

namespace {

// The open file as Exiv2's input, read only as far as Exiv2 asks: segment by segment for JPEG,
// PNG and WebP, through a mapping (of which only the touched pages are read) for TIFF and the
// raw formats built on it. Writing is refused.
class DescriptorIo : public Exiv2::BasicIo {
public:
    explicit DescriptorIo(const ReadOnlyFile& file) : m_file(file) {}
    ~DescriptorIo() override { munmap(); }

    // A page of the mapping went away while Exiv2 read it (the file was cut short meanwhile).
    bool damaged() const { return m_damaged || (m_mapping && m_mapping->damaged()); }

    int open() override {
        m_position = 0;
        m_eof = false;
        return 0;
    }
    int close() override { return munmap(); }

    long write(const Exiv2::byte*, long) override { return 0; }
    long write(Exiv2::BasicIo&) override { return 0; }
    int putb(Exiv2::byte) override { return EOF; }
    void transfer(Exiv2::BasicIo&) override { throw Exiv2::Error(Exiv2::kerCallFailed); }

    Exiv2::DataBuf read(long count) override {
        if (count <= 0)
            return Exiv2::DataBuf();
        std::vector<Exiv2::byte> bytes(readable(count));
        const long n = readInto(bytes.data(), static_cast<long>(bytes.size()));
        return Exiv2::DataBuf(bytes.data(), n);
    }

    long read(Exiv2::byte* buffer, long count) override {
        if (count <= 0)
            return 0;
        return readInto(buffer, static_cast<long>(readable(count)));
    }

    int getb() override {
        Exiv2::byte b;
        return read(&b, 1) == 1 ? b : EOF;
    }

    int seek(long offset, Position from) override {
        std::int64_t to = offset;
        if (from == cur)
            to += m_position;
        else if (from == end)
            to += m_file.size();
        if (to < 0)
            return 1;
        if (to > m_file.size()) {
            m_eof = true;
            return 1;
        }
        m_position = to;
        m_eof = false;
        return 0;
    }

    Exiv2::byte* mmap(bool writeable) override {
        if (writeable)
            throw Exiv2::Error(Exiv2::kerFailedToMapFileForReadWrite, "", "read only");
        if (m_mapping)
            return const_cast<Exiv2::byte*>(
                reinterpret_cast<const Exiv2::byte*>(m_mapping->data()));
        if (!m_copy.empty())
            return m_copy.data();
        m_mapping = m_file.map();
        if (m_mapping)
            return const_cast<Exiv2::byte*>(
                reinterpret_cast<const Exiv2::byte*>(m_mapping->data()));
        // No mapping to be had (too many at once): a copy, when the file is small enough.
        const std::size_t size = static_cast<std::size_t>(m_file.size());
        if (m_file.size() <= 0 || m_budget.take(size) != size)
            throw Exiv2::Error(Exiv2::kerCallFailed, "", "mmap", std::strerror(errno));
        m_copy.resize(size);
        if (m_file.readAt(0, m_copy.data(), size) != static_cast<ssize_t>(size)) {
            m_copy.clear();
            throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
        }
        return m_copy.data();
    }

    int munmap() override {
        if (m_mapping) {
            m_damaged = m_damaged || m_mapping->damaged();
            m_mapping.reset();
        }
        m_copy.clear();
        m_copy.shrink_to_fit();
        return 0;
    }

    long tell() const override { return static_cast<long>(m_position); }
    size_t size() const override { return static_cast<size_t>(m_file.size()); }
    bool isopen() const override { return true; }
    int error() const override { return m_error; }
    bool eof() const override { return m_eof; }
    std::string path() const override { return {}; }

private:
    std::size_t readable(long count) {
        std::int64_t left = m_file.size() - m_position;
        if (left < 0)
            left = 0;
        const auto wanted = static_cast<std::size_t>(count < left ? count : left);
        return m_budget.take(wanted);
    }

    long readInto(Exiv2::byte* buffer, long count) {
        const ssize_t n = m_file.readAt(m_position, buffer, static_cast<std::size_t>(count));
        if (n < 0) {
            m_error = errno;
            m_eof = true;
            return 0;
        }
        m_position += n;
        if (m_position >= m_file.size() || n < count)
            m_eof = true;
        return static_cast<long>(n);
    }

    const ReadOnlyFile& m_file;
    std::int64_t m_position = 0;
    bool m_eof = false;
    int m_error = 0;
    bool m_damaged = false;
    ReadBudget m_budget;
    std::unique_ptr<FileMapping> m_mapping;
    std::vector<Exiv2::byte> m_copy;
};

std::recursive_mutex g_xmpToolkitLock;

void lockXmpToolkit(void*, bool lock) {
    if (lock)
        g_xmpToolkitLock.lock();
    else
        g_xmpToolkitLock.unlock();
}

void setUpExiv2() {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::LogMsg::setHandler(nullptr);
    // Before any thread reads XMP: the toolkit's set-up is not safe to run twice at once. The
    // lock guards what Exiv2 shares between threads reading XMP (the namespaces a file brings).
    Exiv2::XmpParser::initialize(lockXmpToolkit, nullptr);
    Exiv2::enableBMFF(true);
}

// The keys looked up, made once: a key is parsed and checked against Exiv2's tables when made.
struct Keys {
    Exiv2::ExifKey dateTimeOriginal{"Exif.Photo.DateTimeOriginal"};
    Exiv2::ExifKey offsetTimeOriginal{"Exif.Photo.OffsetTimeOriginal"};
    Exiv2::ExifKey dateTimeDigitized{"Exif.Photo.DateTimeDigitized"};
    Exiv2::ExifKey offsetTimeDigitized{"Exif.Photo.OffsetTimeDigitized"};
    Exiv2::ExifKey model{"Exif.Image.Model"};
    Exiv2::XmpKey xmpDateTimeOriginal{"Xmp.exif.DateTimeOriginal"};
    Exiv2::XmpKey xmpCreateDate{"Xmp.xmp.CreateDate"};
    Exiv2::XmpKey xmpModel{"Xmp.tiff.Model"};
};

const Keys& keys() {
    static const Keys k;
    return k;
}

template <class Data, class Key>
std::optional<std::string> valueOf(const Data& data, const Key& key) {
    const auto it = data.findKey(key);
    if (it == data.end())
        return std::nullopt;
    return it->toString();
}

// An EXIF date with the offset time EXIF keeps beside it, when there is one.
std::optional<FieldDate> exifDate(const Exiv2::ExifData& exif, const Exiv2::ExifKey& date,
                                  const Exiv2::ExifKey& offset) {
    const std::optional<std::string> text = valueOf(exif, date);
    std::optional<FieldDate> value = text ? parseDate(*text) : std::nullopt;
    if (value && !value->hasZone()) {
        if (const std::optional<std::string> zone = valueOf(exif, offset))
            value->utcOffsetMinutes = parseUtcOffset(*zone);
    }
    return value;
}

std::optional<FieldDate> xmpDate(const Exiv2::XmpData& xmp, const Exiv2::XmpKey& key) {
    const std::optional<std::string> text = valueOf(xmp, key);
    return text ? parseDate(*text) : std::nullopt;
}

// When the photo was taken: the original's date, else the date it was digitised ("create
// date"), each from EXIF before XMP.
std::optional<FieldDate> dateTaken(const Exiv2::Image& image) {
    const Keys& k = keys();
    if (auto d = exifDate(image.exifData(), k.dateTimeOriginal, k.offsetTimeOriginal))
        return d;
    if (auto d = xmpDate(image.xmpData(), k.xmpDateTimeOriginal))
        return d;
    if (auto d = exifDate(image.exifData(), k.dateTimeDigitized, k.offsetTimeDigitized))
        return d;
    return xmpDate(image.xmpData(), k.xmpCreateDate);
}

// The formats of pictures. Exiv2 tells the format by the file's bytes itself, and might take a
// file for one of its movie formats (QuickTime, RIFF, Matroska, ASF), whose readers are not
// made for untrusted files, or for a sidecar or Targa file, which hold no date taken.
bool isPicture(int type) {
    namespace T = Exiv2::ImageType;
    for (const int picture : {T::jpeg, T::cr2, T::crw, T::tiff, T::mrw, T::png, T::raf, T::orf,
                              T::gif, T::psd, T::jp2, T::rw2, T::pgf, T::bmff, T::webp}) {
        if (type == picture)
            return true;
    }
    return false;
}

void collect(const Exiv2::Image& image, FileFieldSet wanted, FileFields& values) {
    if (wanted.contains(FileField::taken)) {
        if (const std::optional<FieldDate> taken = dateTaken(image))
            values.setDate(FileField::taken, *taken);
    }
    if (wanted.contains(FileField::camera)) {
        std::optional<std::string> model = valueOf(image.exifData(), keys().model);
        if (!model || nameText(*model).empty())
            model = valueOf(image.xmpData(), keys().xmpModel);
        if (model)
            values.setText(FileField::camera, nameText(*model));
    }
    if (wanted.contains(FileField::width) && image.pixelWidth() > 0)
        values.setNumber(FileField::width, static_cast<std::uint32_t>(image.pixelWidth()));
    if (wanted.contains(FileField::height) && image.pixelHeight() > 0)
        values.setNumber(FileField::height, static_cast<std::uint32_t>(image.pixelHeight()));
}

}  // namespace

void prepareImageLibrary() {
    static std::once_flag once;
    std::call_once(once, setUpExiv2);
    keys();
}

void readImageFields(const ReadOnlyFile& file, FileFieldSet wanted, FileFields& values) {
    try {
        auto io = std::make_unique<DescriptorIo>(file);
        const DescriptorIo* const reader = io.get();
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(io.release()));
        if (!image.get() || !isPicture(image->imageType()))
            return;
        image->readMetadata();
        // What came from a page that went away is not to be trusted.
        if (!reader->damaged())
            collect(*image, wanted, values);
    } catch (...) {
        // A file Exiv2 cannot read is a file without these fields.
    }
}

}  // namespace zr
