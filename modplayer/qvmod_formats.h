// SPDX-License-Identifier: MIT
/* QVMOD module files: the byte-order input primitives, the QVM format and its datafile object, and the per-format readers behind load_mod. */
#ifndef QVMOD_FORMATS_H
#define QVMOD_FORMATS_H

#include "qvmod_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* -------------------------------------------------------------- file input */

PACKFILE *qvmod_fopen(const char *filename, const char *mode);
void qvmod_fclose(PACKFILE *f);
int qvmod_skip(PACKFILE *f, int count);
void qvmod_fseek(PACKFILE **f, const char *filename, int offset);
int qvmod_fread(void *buffer, int count, PACKFILE *f);
void *qvmod_calloc(size_t size);
int qvmod_getc(PACKFILE *f);
int qvmod_igetw(PACKFILE *f);
int qvmod_mgetw(PACKFILE *f);
int qvmod_igetl(PACKFILE *f);
int qvmod_mgetl(PACKFILE *f);
int qvmod_putc(int c, PACKFILE *f);
int qvmod_iputw(int w, PACKFILE *f);
int qvmod_iputl(int l, PACKFILE *f);
int qvmod_fwrite(const void *buffer, int count, PACKFILE *f);

/* QVM modules and the "QVM " datafile object type. */
#define QVMOD_DAT_ID 0x51564D20 /* DAT_ID('Q','V','M',' ') */
#define QVM_SIGNATURE "QVMOD 01 module : "
#define QVM_SIGNATURE_SIZE 18

QVMOD *load_qvm(PACKFILE *f);
int detect_qvm(const char *filename);
int get_qvm_info(PACKFILE *f, QVMOD_INFO *info);
void register_datafile_qvmod(void);
void *load_qvm_datafile(PACKFILE *f, long size);
void destroy_mod_datafile(void *data);

/* MOD, S3M, XM and IT files: the detectors and readers behind load_mod and get_mod_info.
 * Detectors return 1 on a match; see each for its other answers. Offsets locate a module
 * embedded in an Unreal package (0 for a plain file). */
extern int fast_loading; /* -1: S3M channels from the channel settings; 0: from the patterns */
int detect_it(const char *filename);        /* 1, -1 no match, 0 cannot open */
int detect_xm(const char *filename);        /* 1, -1, 0 */
int detect_s3m(const char *filename);       /* 1, -1, 0 */
int detect_m31(const char *filename);       /* 1, -1 (also when it cannot open) */
int detect_m15(const char *filename);       /* 1, 0 */
int detect_unreal_it(const char *filename); /* start of the module, -1 none, 0 cannot open */
int detect_unreal_xm(const char *filename);
int detect_unreal_s3m(const char *filename); /* signature offset - 44 */
int get_m_info(const char *filename, int samples, QVMOD_INFO *info);
int get_s3m_info(const char *filename, int offset, QVMOD_INFO *info);
int get_xm_info(const char *filename, int offset, QVMOD_INFO *info);
int get_it_info(const char *filename, int offset, QVMOD_INFO *info);
QVMOD *load_m(const char *filename, int samples); /* 15 or 31 samples */
QVMOD *load_s3m(const char *filename, int offset);
QVMOD *load_xm(const char *filename, int offset);
QVMOD *load_it(const char *filename, int offset); /* always refuses */
int get_mod_no_pat(int *order_table, int count);
void convert_s3m_pitch(int *note);
void convert_s3m_command(int *command, int *param);
int S3M_get_num_chn(PACKFILE *f);
int S3M_load_pat(PACKFILE *f, QVMOD *module, NOTE_INFO *cells, int channel_count);
void convert_xm_command(int *command, int *param);
void load_note(QVMOD *module, PACKFILE *f, NOTE_INFO *cell);

#ifdef __cplusplus
}
#endif

#endif
