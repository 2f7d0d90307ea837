// JPEG through libjpeg, decoded at the reduction the receiver asks for (libjpeg
// scales in its inverse DCT, so a picture decoded at 1/8 costs little more
// than reading its data). libjpeg reports a fatal error by calling
// error_exit, which here jumps back to the setjmp in decode_rows; the warnings
// that mean rows were made up, and the scan limit, jump back the same way.
// decode_rows keeps no object with a destructor of its own.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "decode.h"

namespace {

// Pixels converted and handed on at a time.
constexpr long CHUNK_PIXELS = 4096;

// Bytes that the markers before the first scan may take (EXIF, colour
// profiles, metadata), and beyond the scans' own allowance.
constexpr size_t JPEG_MARKUP_BYTES = 16 << 20;

// Bytes of scan data allowed per sample of the picture: a block of 64 samples
// takes at most 64 codes of 16 bits with 16 bits of value, 256 bytes, twice
// that when every byte is stuffed; 16 per sample leaves room for the extra
// bits of progressive refinement.
constexpr size_t JPEG_BYTES_PER_SAMPLE = 16;

// The state of one decoding, reached from libjpeg's callbacks through the
// error manager, which comes first so that libjpeg's pointer to it is a
// pointer to this.
struct jpeg_decoder {
    jpeg_error_mgr manager;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    char *error;
    FILE *in;
    size_t read;        // bytes read from in so far
    size_t limit;       // the most bytes the picture may take
    bool rows_done;     // every row is out: what follows cannot change them
    unsigned scanned;   // bit c set when component c took part in a scan
    int orientation;    // from the first EXIF marker that gives one
    unsigned char buffer[65536];
    unsigned char marker[65536]; // the body of an APP1 marker being read
};

jpeg_decoder *decoder_of(j_common_ptr info) {
    return reinterpret_cast<jpeg_decoder *>(info->err);
}

[[noreturn]] void fail(jpeg_decoder *decoder, const char *reason) {
    snprintf(decoder->error, PREP_ERROR_SIZE, "broken JPEG picture: %.150s", reason);
    longjmp(decoder->jump, 1);
}

void on_error(j_common_ptr info) {
    jpeg_decoder *decoder = decoder_of(info);
    if (info->err->msg_code == JERR_OUT_OF_MEMORY) {
        snprintf(decoder->error, PREP_ERROR_SIZE, PREP_OUT_OF_MEMORY);
        longjmp(decoder->jump, 1);
    }
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    fail(decoder, message);
}

// libjpeg goes on over damage with a warning, filling what it could not
// decode with mid-grey. Those warnings refuse the picture: a cut file, data
// that ends at a marker early, bad codes, lost restart markers, a broken
// progression. A few warnings leave every row decoded from the file's own
// data and are let pass: an unknown JFIF revision or Adobe transform code and
// a broken colour profile (header details this decoder does not use), SOS
// parameters that a sequential picture ignores, and stray bytes between
// markers (skipped after the data they follow was decoded). Warnings after
// the last row (reading on to the end marker) change nothing either.
void on_message(j_common_ptr info, int level) {
    if (level >= 0) return; // trace messages
    jpeg_decoder *decoder = decoder_of(info);
    switch (info->err->msg_code) {
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_EXTRANEOUS_DATA:
        return;
    default:
        if (decoder->rows_done) return;
        char message[JMSG_LENGTH_MAX];
        (*info->err->format_message)(info, message);
        fail(decoder, message);
    }
}

void no_output(j_common_ptr) {}

// The source: in, read through the buffer, at most limit bytes. At the end of
// the file it gives an end marker with libjpeg's warning, as libjpeg's own
// file source does, and the warning refuses the picture.
void source_start(j_decompress_ptr) {}

boolean source_fill(j_decompress_ptr info) {
    jpeg_decoder *decoder = decoder_of(reinterpret_cast<j_common_ptr>(info));
    if (decoder->read >= decoder->limit)
        fail(decoder, "the file holds more data than a picture of its size can");
    size_t want = sizeof decoder->buffer;
    if (want > decoder->limit - decoder->read) want = decoder->limit - decoder->read;
    size_t got = fread(decoder->buffer, 1, want, decoder->in);
    if (got == 0) {
        if (ferror(decoder->in)) fail(decoder, strerror(errno));
        if (decoder->read == 0) ERREXIT(info, JERR_INPUT_EMPTY);
        WARNMS(info, JWRN_JPEG_EOF);
        decoder->buffer[0] = 0xFF;
        decoder->buffer[1] = JPEG_EOI;
        got = 2;
    } else {
        decoder->read += got;
    }
    decoder->source.next_input_byte = decoder->buffer;
    decoder->source.bytes_in_buffer = got;
    return TRUE;
}

void source_skip(j_decompress_ptr info, long count) {
    jpeg_source_mgr *source = info->src;
    while (count > (long)source->bytes_in_buffer) {
        count -= (long)source->bytes_in_buffer;
        source_fill(info);
    }
    if (count > 0) {
        source->next_input_byte += count;
        source->bytes_in_buffer -= (size_t)count;
    }
}

void source_end(j_decompress_ptr) {}

int next_byte(j_decompress_ptr info) {
    jpeg_source_mgr *source = info->src;
    if (source->bytes_in_buffer == 0) source_fill(info);
    source->bytes_in_buffer--;
    return *source->next_input_byte++;
}

// APP1 markers: the first whose EXIF body gives an orientation is read into
// the decoder's buffer, every other is skipped, so that no number of markers
// costs memory.
boolean read_app1(j_decompress_ptr info) {
    jpeg_decoder *decoder = decoder_of(reinterpret_cast<j_common_ptr>(info));
    long length = next_byte(info) << 8;
    length += next_byte(info) - 2;
    if (length <= 0) return TRUE;
    if (decoder->orientation != 0) {
        source_skip(info, length);
        return TRUE;
    }
    for (long i = 0; i < length; i++)
        decoder->marker[i] = (unsigned char)next_byte(info);
    decoder->orientation = prep_exif_orientation(decoder->marker, (size_t)length);
    return TRUE;
}

// Called before each piece of work: refuses a file of too many scans, and
// notes which components the scans cover.
void on_progress(j_common_ptr common) {
    jpeg_decoder *decoder = decoder_of(common);
    j_decompress_ptr info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > PREP_JPEG_MAX_SCANS) {
        char reason[80];
        snprintf(reason, sizeof reason, "more than %d scans", PREP_JPEG_MAX_SCANS);
        fail(decoder, reason);
    }
    for (int i = 0; i < info->comps_in_scan && i < MAX_COMPS_IN_SCAN; i++)
        if (info->cur_comp_info[i] && info->cur_comp_info[i]->component_index < 32)
            decoder->scanned |= 1u << info->cur_comp_info[i]->component_index;
}

// A picture in several scans is read whole before its first row comes out,
// and a file that ends early between two scans gives no warning: every
// component must have had its scan, and in a progressive picture every
// coefficient its last bit.
bool data_complete(j_decompress_ptr info, const jpeg_decoder &decoder) {
    if (!jpeg_has_multiple_scans(info)) return true;
    for (int c = 0; c < info->num_components; c++) {
        if (!(decoder.scanned >> c & 1)) return false;
        if (!info->progressive_mode || !info->coef_bits) continue;
        for (int k = 0; k < DCTSIZE2; k++)
            if (info->coef_bits[c][k] != 0) return false;
    }
    return true;
}

// CMYK as Adobe software writes it stores inverted inks (255 = no ink).
unsigned char cmyk_channel(unsigned ink, unsigned black, bool inverted) {
    if (!inverted) {
        ink = 255 - ink;
        black = 255 - black;
    }
    return (unsigned char)((ink * black + 127) / 255);
}

bool decode_rows(jpeg_decompress_struct *info, jpeg_decoder *decoder,
                 const prep_decode_options &options, prep_sink *sink,
                 std::vector<unsigned char> *row, std::vector<uint16_t> *chunk) {
    if (setjmp(decoder->jump)) return false;
    jpeg_create_decompress(info);
    info->src = &decoder->source;
    info->progress = &decoder->progress;
    jpeg_set_marker_processor(info, JPEG_APP0 + 1, read_app1);
    jpeg_read_header(info, TRUE);
    long width = info->image_width;
    long height = info->image_height;
    if (!prep_check_size(width, height, options, "JPEG", decoder->error)) return false;
    decoder->limit = decoder->read + JPEG_MARKUP_BYTES +
                     JPEG_BYTES_PER_SAMPLE * (size_t)width * height * info->num_components;

    bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    int reduction = sink->start(width, height, decoder->orientation, 8, decoder->error);
    if (reduction == 0) return false;
    info->scale_num = 1;
    info->scale_denom = (unsigned)reduction;
    jpeg_start_decompress(info);
    if (!data_complete(info, *decoder))
        fail(decoder, "the data ends before every part of the picture was sent");
    long out_width = info->output_width;
    int components = info->output_components;
    if (out_width != (width + reduction - 1) / reduction ||
        (long)info->output_height != (height + reduction - 1) / reduction)
        fail(decoder, "decoded at an unexpected size");
    if (components != (cmyk ? 4 : 3)) {
        char reason[40];
        snprintf(reason, sizeof reason, "%d colour components", components);
        fail(decoder, reason);
    }
    row->resize((size_t)out_width * components);
    chunk->resize(3 * CHUNK_PIXELS);
    bool inverted = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        long y = info->output_scanline;
        JSAMPROW rows[1] = {row->data()};
        jpeg_read_scanlines(info, rows, 1);
        for (long first = 0; first < out_width; first += CHUNK_PIXELS) {
            long count = out_width - first < CHUNK_PIXELS ? out_width - first : CHUNK_PIXELS;
            const unsigned char *in = row->data() + first * components;
            uint16_t *out = chunk->data();
            for (long x = 0; x < count; x++, in += components, out += 3) {
                for (int c = 0; c < 3; c++)
                    out[c] = (uint16_t)(257 * (cmyk ? cmyk_channel(in[c], in[3], inverted) : in[c]));
            }
            sink->take(y, first, 1, count, chunk->data());
        }
    }
    decoder->rows_done = true;
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

bool prep_decode_jpeg(FILE *in, const prep_decode_options &options, prep_sink *sink, char *error) {
    jpeg_decompress_struct info;
    std::unique_ptr<jpeg_decoder> decoder;
    std::vector<unsigned char> row;
    std::vector<uint16_t> chunk;
    bool done = false;
    try {
        decoder.reset(new jpeg_decoder());
        info.err = jpeg_std_error(&decoder->manager);
        decoder->manager.error_exit = on_error;
        decoder->manager.emit_message = on_message;
        decoder->manager.output_message = no_output;
        decoder->source.init_source = source_start;
        decoder->source.fill_input_buffer = source_fill;
        decoder->source.skip_input_data = source_skip;
        decoder->source.resync_to_restart = jpeg_resync_to_restart;
        decoder->source.term_source = source_end;
        decoder->progress.progress_monitor = on_progress;
        decoder->error = error;
        decoder->in = in;
        decoder->limit = JPEG_MARKUP_BYTES;
        done = decode_rows(&info, decoder.get(), options, sink, &row, &chunk);
    } catch (const std::bad_alloc &) {
        snprintf(error, PREP_ERROR_SIZE, PREP_OUT_OF_MEMORY);
        done = false;
    }
    if (decoder) jpeg_destroy_decompress(&info);
    return done;
}
