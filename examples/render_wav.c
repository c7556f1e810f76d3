// SPDX-License-Identifier: MIT
/* render_wav: writes a module's song as a 16-bit stereo WAV file through the QVMOD render API alone. */
#include <allegro.h>
#include <qvmod.h>
#include <stdio.h>

enum { RATE = 44100, BLOCK = 4096, HEADER_BYTES = 44 };

static void put32(unsigned char *p, unsigned long v)
{
    p[0] = v & 255;
    p[1] = (v >> 8) & 255;
    p[2] = (v >> 16) & 255;
    p[3] = (v >> 24) & 255;
}

static void put16(unsigned char *p, unsigned v)
{
    p[0] = v & 255;
    p[1] = (v >> 8) & 255;
}

/* The RIFF header of `bytes` bytes of 16-bit stereo frames at RATE. */
static void wav_header(unsigned char *h, unsigned long bytes)
{
    memcpy(h, "RIFF", 4);
    put32(h + 4, bytes + HEADER_BYTES - 8);
    memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, 2);
    put32(h + 24, RATE);
    put32(h + 28, RATE * 4);
    put16(h + 32, 4);
    put16(h + 34, 16);
    memcpy(h + 36, "data", 4);
    put32(h + 40, bytes);
}

int main(int argc, char **argv)
{
    static short frames[2 * BLOCK];
    static unsigned char bytes[4 * BLOCK];
    unsigned char header[HEADER_BYTES];
    unsigned long written = 0;
    QVMOD *module;
    QVMOD_RENDER *render;
    FILE *out;
    int n, i;

    if (argc != 3) {
        fprintf(stderr, "usage: render_wav MODULE OUT.wav\n");
        return 2;
    }
    /* The loaders read through Allegro's file functions; no sound, display or timer is set up. */
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    module = load_mod(argv[1]);
    if (!module) {
        fprintf(stderr, "render_wav: %s: %s\n", argv[1], qvmod_error);
        return 1;
    }
    render = qvmod_render_open(module, RATE, 0);
    out = fopen(argv[2], "wb");
    if (!render || !out) {
        fprintf(stderr, "render_wav: cannot render %s into %s\n", argv[1], argv[2]);
        return 1;
    }
    wav_header(header, 0);
    fwrite(header, 1, HEADER_BYTES, out);
    while ((n = qvmod_render(render, frames, BLOCK)) > 0) {
        for (i = 0; i < 2 * n; i++) put16(bytes + 2 * i, (unsigned short)frames[i]);
        fwrite(bytes, 4, (size_t)n, out);
        written += 4UL * (unsigned long)n;
    }
    wav_header(header, written);
    fseek(out, 0, SEEK_SET);
    fwrite(header, 1, HEADER_BYTES, out);
    qvmod_render_close(render);
    destroy_mod(module);
    return fclose(out) == 0 ? 0 : 1;
}
END_OF_MAIN()
