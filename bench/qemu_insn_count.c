/* Counts the guest instructions a program executes under qemu user mode (TCG plugin API
 * version 1, as QEMU 7.2 offers it), printed to stderr at exit as "insns: N".
 * Debian ships no qemu-plugin.h, so the few entry points used here are declared by hand with
 * the signatures of that API version. Every translated block adds its instruction count to
 * one counter by an inline add, so counting costs no call per block; exact for a program
 * with one guest thread.
 * Build: gcc -shared -fPIC -O2 -o qemu_insn_count.so qemu_insn_count.c
 * Use:   qemu-i386 -plugin ./qemu_insn_count.so -d plugin PROGRAM ARGS... */
#include <inttypes.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#define QEMU_PLUGIN_EXPORT __attribute__((visibility("default")))

typedef uint64_t qemu_plugin_id_t;
typedef struct qemu_info_t qemu_info_t; /* read by nothing here */
struct qemu_plugin_tb;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op,
                                              void* ptr, uint64_t imm);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);
void qemu_plugin_outs(const char* string);

QEMU_PLUGIN_EXPORT int qemu_plugin_version = 1;

static uint64_t executed;

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb)
{
    (void)id;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed,
                                             qemu_plugin_tb_n_insns(tb));
}

static void on_exit(qemu_plugin_id_t id, void* userdata)
{
    char line[64];
    (void)id;
    (void)userdata;
    snprintf(line, sizeof line, "insns: %" PRIu64 "\n", executed);
    qemu_plugin_outs(line);
}

QEMU_PLUGIN_EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info, int argc,
                                           char** argv)
{
    (void)info;
    (void)argc;
    (void)argv;
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
    qemu_plugin_register_atexit_cb(id, on_exit, NULL);
    return 0;
}
