#include "http/content_decoding.h"

#include <brotli/decode.h>
#include <zlib.h>
#include <zstd.h>

// One coding undone; its output goes on to the next stage or the sink.
class ContentDecoder::Stage {
public:
    virtual ~Stage() = default;
    // False with `error` set when the bytes are broken; false without when out() stopped.
    virtual bool feed(QByteArrayView in, const Sink &out, QString &error) = 0;

protected:
    static constexpr std::size_t kPiece = 16 << 10;
    unsigned char buffer_[kPiece];
};

namespace {

class Inflate : public ContentDecoder::Stage {
public:
    explicit Inflate(bool gzip) : gzip_(gzip) { begin(gzip ? 15 + 32 : 15); }
    ~Inflate() override { inflateEnd(&stream_); }

    bool feed(QByteArrayView in, const ContentDecoder::Sink &out, QString &error) override
    {
        stream_.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
        stream_.avail_in = uInt(in.size());
        while (stream_.avail_in > 0 && !ended_) {
            stream_.next_out = buffer_;
            stream_.avail_out = kPiece;
            const int status = inflate(&stream_, Z_NO_FLUSH);
            if (status == Z_DATA_ERROR && !gzip_ && !triedRaw_ && stream_.total_out == 0) {
                // "deflate" sent without its zlib wrapper, as some servers do.
                triedRaw_ = true;
                inflateEnd(&stream_);
                begin(-15);
                stream_.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
                stream_.avail_in = uInt(in.size());
                continue;
            }
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                error = QStringLiteral("%1 data error (%2)").arg(gzip_ ? u"gzip" : u"deflate",
                                                                 QString::fromLatin1(stream_.msg ? stream_.msg : "?"));
                return false;
            }
            ended_ = status == Z_STREAM_END;
            const std::size_t produced = kPiece - stream_.avail_out;
            if (produced && !out(QByteArrayView(buffer_, qsizetype(produced))))
                return false;
            if (status == Z_BUF_ERROR && produced == 0)
                break;
        }
        return true;
    }

private:
    void begin(int windowBits)
    {
        stream_ = {};
        inflateInit2(&stream_, windowBits);
    }

    bool gzip_;
    bool triedRaw_ = false;
    bool ended_ = false;
    z_stream stream_{};
};

class Brotli : public ContentDecoder::Stage {
public:
    Brotli() : state_(BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)) {}
    ~Brotli() override { BrotliDecoderDestroyInstance(state_); }

    bool feed(QByteArrayView in, const ContentDecoder::Sink &out, QString &error) override
    {
        auto next = reinterpret_cast<const uint8_t *>(in.data());
        std::size_t left = std::size_t(in.size());
        for (;;) {
            uint8_t *into = buffer_;
            std::size_t room = kPiece;
            const BrotliDecoderResult status = BrotliDecoderDecompressStream(state_, &left, &next, &room, &into, nullptr);
            if (status == BROTLI_DECODER_RESULT_ERROR) {
                error = QStringLiteral("brotli data error (%1)")
                            .arg(QString::fromLatin1(BrotliDecoderErrorString(BrotliDecoderGetErrorCode(state_))));
                return false;
            }
            if (kPiece - room && !out(QByteArrayView(buffer_, qsizetype(kPiece - room))))
                return false;
            if (status != BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT)
                return true;
        }
    }

private:
    BrotliDecoderState *state_;
};

class Zstd : public ContentDecoder::Stage {
public:
    Zstd() : stream_(ZSTD_createDStream()) { ZSTD_initDStream(stream_); }
    ~Zstd() override { ZSTD_freeDStream(stream_); }

    bool feed(QByteArrayView in, const ContentDecoder::Sink &out, QString &error) override
    {
        ZSTD_inBuffer input{in.data(), std::size_t(in.size()), 0};
        for (;;) {
            ZSTD_outBuffer output{buffer_, kPiece, 0};
            const std::size_t status = ZSTD_decompressStream(stream_, &output, &input);
            if (ZSTD_isError(status)) {
                error = QStringLiteral("zstd data error (%1)").arg(QString::fromLatin1(ZSTD_getErrorName(status)));
                return false;
            }
            if (output.pos && !out(QByteArrayView(buffer_, qsizetype(output.pos))))
                return false;
            if (input.pos == input.size && output.pos < output.size)
                return true;
        }
    }

private:
    ZSTD_DStream *stream_;
};

std::unique_ptr<ContentDecoder::Stage> stageFor(const QByteArray &coding)
{
    if (coding == "gzip" || coding == "x-gzip")
        return std::make_unique<Inflate>(true);
    if (coding == "deflate")
        return std::make_unique<Inflate>(false);
    if (coding == "br")
        return std::make_unique<Brotli>();
    if (coding == "zstd")
        return std::make_unique<Zstd>();
    return nullptr;
}

} // namespace

ContentDecoder::ContentDecoder(const QList<QByteArray> &codings)
{
    // Applied in the order given, so undone from the last.
    for (qsizetype i = codings.size() - 1; i >= 0; --i) {
        const QByteArray coding = codings[i].trimmed().toLower();
        if (coding.isEmpty() || coding == "identity")
            continue;
        std::unique_ptr<Stage> stage = stageFor(coding);
        if (!stage) {
            stages_.clear();
            return;
        }
        stages_.push_back(std::move(stage));
    }
}

ContentDecoder::~ContentDecoder() = default;

bool ContentDecoder::feed(QByteArrayView bytes, const Sink &sink)
{
    return run(0, bytes, sink);
}

bool ContentDecoder::run(std::size_t stage, QByteArrayView bytes, const Sink &sink)
{
    if (stage == stages_.size())
        return sink(bytes);
    return stages_[stage]->feed(bytes, [&](QByteArrayView piece) { return run(stage + 1, piece, sink); }, error_);
}
