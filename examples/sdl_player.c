// SPDX-License-Identifier: MIT
/* sdl_player: plays a module through SDL2's audio callback with the QVMOD render API. */
#include <SDL.h>
#include <allegro.h>
#include <qvmod.h>
#include <stdio.h>

enum { RATE = 44100, BUFFER_FRAMES = 1024 };

struct player {
    QVMOD_RENDER *render;
    SDL_atomic_t ended;
};

/* SDL's audio thread asks for sound here; the render state is used by this thread alone. */
static void fill(void *data, Uint8 *stream, int len)
{
    struct player *p = data;
    const int frames = len / 4;
    const int n = qvmod_render(p->render, (short *)stream, frames);
    if (n < frames) {
        memset(stream + 4 * (n > 0 ? n : 0), 0, (size_t)(4 * (frames - (n > 0 ? n : 0))));
        SDL_AtomicSet(&p->ended, 1);
    }
}

int main(int argc, char **argv)
{
    struct player p;
    SDL_AudioSpec want, have;
    SDL_AudioDeviceID device;
    QVMOD *module;

    if (argc != 2) {
        fprintf(stderr, "usage: sdl_player MODULE\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    module = load_mod(argv[1]);
    if (!module) {
        fprintf(stderr, "sdl_player: %s: %s\n", argv[1], qvmod_error);
        return 1;
    }
    p.render = qvmod_render_open(module, RATE, 0);
    SDL_AtomicSet(&p.ended, 0);
    if (!p.render || SDL_Init(SDL_INIT_AUDIO) != 0) {
        fprintf(stderr, "sdl_player: %s\n", p.render ? SDL_GetError() : "no song to play");
        return 1;
    }
    SDL_zero(want);
    want.freq = RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = BUFFER_FRAMES;
    want.callback = fill;
    want.userdata = &p;
    device = SDL_OpenAudioDevice(NULL, 0, &want, &have, 0);
    if (device == 0) {
        fprintf(stderr, "sdl_player: %s\n", SDL_GetError());
        return 1;
    }
    SDL_PauseAudioDevice(device, 0);
    while (!SDL_AtomicGet(&p.ended)) SDL_Delay(100);
    SDL_CloseAudioDevice(device);
    SDL_Quit();
    qvmod_render_close(p.render);
    destroy_mod(module);
    return 0;
}
END_OF_MAIN()
