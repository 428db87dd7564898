// SPDX-License-Identifier: GPL-3.0-or-later
// Music tags through TagLib, which reads the file through the descriptor the field reader opened
// and only the parts that hold tags (audio properties are not read).
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "metadata/field_text.h"
#include "metadata/readers.h"
#include "platform/read_only_file.h"

namespace zr {

namespace {

// The open file as TagLib's input. Writing does nothing: the program never saves a tag.
class DescriptorStream : public TagLib::IOStream {
public:
    explicit DescriptorStream(const ReadOnlyFile& file) : m_file(file) {}

    TagLib::FileName name() const override { return ""; }

    TagLib::ByteVector readBlock(unsigned long length) override {
        // Counted also at the end of the file, where a parser that trusts a count of items may
        // go on asking.
        const std::uint64_t left =
            m_position < m_file.size() ? static_cast<std::uint64_t>(m_file.size() - m_position) : 0;
        const std::size_t allowed =
            m_budget.take(static_cast<std::size_t>(std::min<std::uint64_t>(left, length)));
        if (allowed == 0)
            return {};
        TagLib::ByteVector block(static_cast<unsigned int>(allowed), '\0');
        const ssize_t n = m_file.readAt(m_position, block.data(), allowed);
        if (n <= 0)
            return {};
        m_position += n;
        block.resize(static_cast<unsigned int>(n));
        return block;
    }

    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    void truncate(long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }

    void seek(long offset, Position from) override {
        std::int64_t to = offset;
        if (from == Current)
            to += m_position;
        else if (from == End)
            to += m_file.size();
        m_position = to < 0 ? 0 : to;
    }

    long tell() const override { return static_cast<long>(m_position); }
    long length() override { return static_cast<long>(m_file.size()); }

private:
    const ReadOnlyFile& m_file;
    std::int64_t m_position = 0;
    ReadBudget m_budget;
};

class SilentListener : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

std::unique_ptr<TagLib::File> openTagFile(FileKind kind, TagLib::IOStream* stream) {
    auto* frames = TagLib::ID3v2::FrameFactory::instance();
    switch (kind) {
        case FileKind::mpegAudio:
            return std::make_unique<TagLib::MPEG::File>(stream, frames, false);
        case FileKind::flac:
            return std::make_unique<TagLib::FLAC::File>(stream, frames, false);
        case FileKind::oggVorbis:
            return std::make_unique<TagLib::Ogg::Vorbis::File>(stream, false);
        case FileKind::oggOpus:
            return std::make_unique<TagLib::Ogg::Opus::File>(stream, false);
        case FileKind::oggFlac:
            return std::make_unique<TagLib::Ogg::FLAC::File>(stream, false);
        case FileKind::oggSpeex:
            return std::make_unique<TagLib::Ogg::Speex::File>(stream, false);
        case FileKind::wav:
            return std::make_unique<TagLib::RIFF::WAV::File>(stream, false);
        case FileKind::aiff:
            return std::make_unique<TagLib::RIFF::AIFF::File>(stream, false);
        case FileKind::ape:
            return std::make_unique<TagLib::APE::File>(stream, false);
        case FileKind::wavPack:
            return std::make_unique<TagLib::WavPack::File>(stream, false);
        case FileKind::musepack:
            return std::make_unique<TagLib::MPC::File>(stream, false);
        case FileKind::movie:
            return std::make_unique<TagLib::MP4::File>(stream, false);
        default:
            return nullptr;
    }
}

// Several values of one tag (artists of a duet) are joined as a list is written.
std::string joined(const TagLib::StringList& list) {
    std::string text;
    for (const TagLib::String& value : list) {
        const std::string part = nameText(value.to8Bit(true));
        if (part.empty())
            continue;
        if (!text.empty())
            text += ", ";
        text += part;
    }
    return nameText(text);
}

struct TagField {
    FileField field;
    const char* property;  // TagLib's unified name of the tag, the same for every format
};

constexpr TagField kTagFields[] = {
    {FileField::artist, "ARTIST"},     {FileField::album, "ALBUM"},     {FileField::title, "TITLE"},
    {FileField::track, "TRACKNUMBER"}, {FileField::disc, "DISCNUMBER"}, {FileField::year, "DATE"},
    {FileField::genre, "GENRE"},
};

void collect(const TagLib::PropertyMap& tags, FileFieldSet wanted, FileFields& values) {
    for (const TagField& t : kTagFields) {
        if (!wanted.contains(t.field))
            continue;
        const auto it = tags.find(t.property);
        if (it == tags.end() || it->second.isEmpty())
            continue;
        if (fileFieldKind(t.field) == FileFieldKind::text) {
            values.setText(t.field, joined(it->second));
        } else {
            // "3/12" is track 3; "2021-06-15" is the year 2021. Track and disc 0 mean "none".
            const std::optional<std::uint32_t> n = leadingNumber(it->second.front().to8Bit(true));
            if (n && *n != 0)
                values.setNumber(t.field, *n);
        }
    }
}

}  // namespace

void prepareAudioLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        static SilentListener silent;
        TagLib::setDebugListener(&silent);
    });
}

void readAudioFields(const ReadOnlyFile& file, FileKind kind, FileFieldSet wanted,
                     FileFields& values) {
    try {
        DescriptorStream stream(file);
        const std::unique_ptr<TagLib::File> tagFile = openTagFile(kind, &stream);
        if (!tagFile || !tagFile->isValid())
            return;
        collect(tagFile->properties(), wanted, values);
    } catch (...) {
        // A file TagLib cannot read is a file without these fields.
    }
}

}  // namespace zr
