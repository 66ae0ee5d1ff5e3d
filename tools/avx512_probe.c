/* Executes AVX-512 instructions unconditionally, with no CPUID check, and checks their result:
 * a 64-bit lane rotation in an XMM register (AVX-512 F with VL, as the variants use it) and a
 * three-input logic operation under a mask in ZMM registers (AVX-512 F). On a processor or an
 * emulated model without AVX-512, or under a kernel that has not enabled its register state,
 * the first of them raises an invalid-opcode fault and the program dies of SIGILL.
 * Built as a static 32-bit program by tools/emulated-avx512.sh and run in its guest. */
#include <stdint.h>
#include <stdio.h>

int main(void)
{
    const uint64_t in[8] = {0x0123456789abcdefull, 0xfedcba9876543210ull, 1, 2, 3, 4, 5, 6};
    uint64_t rotated[2] = {0, 0};
    uint64_t mixed[8] = {0};

    /* vprorq on XMM: EVEX-encoded, AVX512F + AVX512VL. */
    __asm__ volatile("vmovdqu64 %1, %%xmm1\n\t"
                     "vprorq $8, %%xmm1, %%xmm0\n\t"
                     "vmovdqu64 %%xmm0, %0\n\t"
                     : "=m"(rotated)
                     : "m"(in)
                     : "xmm0", "xmm1", "memory");

    /* in XOR 0 XOR 0 on ZMM under the mask 0x0f: lanes 0 to 3 get the input, 4 to 7 are zeroed. */
    __asm__ volatile("movl $0x0f, %%eax\n\t"
                     "kmovw %%eax, %%k1\n\t"
                     "vmovdqu64 %1, %%zmm0\n\t"
                     "vpxorq %%zmm1, %%zmm1, %%zmm1\n\t"
                     "vpxorq %%zmm2, %%zmm2, %%zmm2\n\t"
                     "vpternlogq $0x96, %%zmm2, %%zmm1, %%zmm0%{%%k1%}%{z%}\n\t"
                     "vmovdqu64 %%zmm0, %0\n\t"
                     "vzeroupper\n\t"
                     : "=m"(mixed)
                     : "m"(in)
                     : "eax", "xmm0", "xmm1", "xmm2", "memory");

    int ok = rotated[0] == 0xef0123456789abcdull && rotated[1] == 0x10fedcba98765432ull;
    for (int i = 0; i < 8; ++i)
        ok = ok && mixed[i] == (i < 4 ? in[i] : 0);
    printf("avx512 probe: %s\n", ok ? "ok" : "wrong result");
    return ok ? 0 : 1;
}
