// SPDX-License-Identifier: MIT
// A minimal Cortex-M program: the vector table, a reset handler that copies the initialised
// data from flash to RAM and clears the rest, and a main loop that uses both; so the image
// holds the vector table, code, constants and the initial values of .data.

#include <stdint.h>

// From firmware.ld.
extern uint32_t _sidata, _sdata, _edata, _sbss, _ebss, _estack;

int main(void);

void Reset_Handler(void) {
    const uint32_t* from = &_sidata;
    for (uint32_t* to = &_sdata; to < &_edata;) {
        *to++ = *from++;
    }
    for (uint32_t* to = &_sbss; to < &_ebss;) {
        *to++ = 0;
    }
    main();
    for (;;) {
    }
}

void Default_Handler(void) {
    for (;;) {
    }
}

// The first words of flash: the initial stack pointer, then the reset, NMI and hard fault
// handlers.
__attribute__((section(".isr_vector"), used)) const uintptr_t vectors[] = {
    (uintptr_t)&_estack,
    (uintptr_t)Reset_Handler,
    (uintptr_t)Default_Handler,
    (uintptr_t)Default_Handler,
};

// Changed as the program runs, so it lives in RAM and starts from the values in flash.
static uint32_t pattern[4] = {0x12345678, 0x9abcdef0, 0x0f1e2d3c, 0x4b5a6978};
static volatile uint32_t sum;

int main(void) {
    for (unsigned i = 0;; i = (i + 1) % 4) {
        pattern[i] += sum;
        sum = pattern[i];
    }
}
