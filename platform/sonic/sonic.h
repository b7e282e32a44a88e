#pragma once
// The codec library of the voice path: an AAC-LC encoder whose every frame
// carries its ADTS header (so each packet decodes alone), an AMR-NB encoder
// for voice messages, AAC and AMR-NB decoders giving 16-bit mono PCM, and
// PCM rate/channel converters. Handles are owned by the caller and released
// with their own release call; a null handle is refused by every call. Not
// thread-safe per handle.
//
// Output pointers point into the handle and stay valid until its next call.

struct sonic_eaac_t;
struct sonic_daac_t;
struct sonic_damr_t;
struct sonic_eamr_t;
struct sonic_convert_t;

// Once before the codecs are made; 1 when the codecs this library needs exist.
int sonic_init();

// AAC encoder for 16-bit PCM of `channels` at `rate`; null on failure.
sonic_eaac_t* sonic_eaac(int rate, int channels, int bitRate);
// Encodes `length` bytes of PCM; the ADTS frames that came out (none while
// the encoder is still filling its first frames) and their length.
int sonic_eaac_encode(sonic_eaac_t* h, const unsigned char* pcm, int length, unsigned char** out);
void sonic_eaac_release(sonic_eaac_t* h);

sonic_daac_t* sonic_daac();
// Decodes the ADTS frame at `data` (`*inLength` bytes offered). Returns the
// bytes used: the frame's length, 0 when the frame is not whole yet, or the
// bytes before the next sync word when `data` does not start with a header.
// PCM (16-bit mono) in `*out`/`*outLength`, or null and 0.
int sonic_daac_decode(sonic_daac_t* h, const unsigned char* data, int* inLength,
                      unsigned char** out, int* outLength);
void sonic_daac_release(sonic_daac_t* h);

sonic_damr_t* sonic_damr();
// The bytes to offer each call: the longest frame (32).
int sonic_damr_size(sonic_damr_t* h);
// Decodes the AMR-NB frame at `data` (storage format: a table-of-contents
// byte, then the frame). Returns the frame's length, or 0 when fewer bytes
// than it needs were offered. PCM: 160 samples, 16-bit mono at 8000 Hz.
int sonic_damr_decode(sonic_damr_t* h, const unsigned char* data, int length, unsigned char** out,
                      int* outLength);
void sonic_damr_release(sonic_damr_t* h);

// AMR-NB encoder at `mode` (0-7: 4.75 to 12.2 kbit/s); null on failure.
sonic_eamr_t* sonic_eamr(int mode);
// Encodes one 20 ms frame: `length` must be 320 bytes (160 samples of 16-bit
// mono at 8000 Hz). Returns the frame's length with its table-of-contents
// byte (storage format, as sonic_damr_decode takes it), <= 0 on failure.
int sonic_eamr_encode(sonic_eamr_t* h, const unsigned char* pcm, int length, unsigned char** out);
void sonic_eamr_release(sonic_eamr_t* h);

// 16-bit PCM from (channels, rate) to (channels, rate); null on failure.
sonic_convert_t* sonic_pcm_create_convert(int sourceChannels, int targetChannels, int sourceRate,
                                          int targetRate);
// The largest piece of input, in bytes, one convert call takes.
int sonic_pcm_samples_size(sonic_convert_t* c);
// Converts up to sonic_pcm_samples_size bytes; the output length (0 while
// the converter still fills its filter, -1 on failure).
int sonic_pcm_convert(sonic_convert_t* c, const unsigned char* data, int length,
                      unsigned char** out);
void sonic_pcm_release(sonic_convert_t* c);
