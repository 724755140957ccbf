#pragma once
/* Pelomar: fits one stretch of a spectrum (N equally spaced values) as a sum of
 * M reference spectra, each scaled by its own intensity and shifted along the
 * energy axis, optionally plus a constant, by nonlinear least squares.
 *
 * Every argument is passed by address; ints are 32-bit, reals 64-bit doubles.
 * The library keeps one fit state for the whole process: one fit at a time,
 * all four operations from one thread at a time. It keeps the addresses of the
 * data, of each reference and of the stop flag without copying them: the
 * caller keeps those buffers alive and unmoved until RELEASEREFERENCEMEMORY. */

#ifdef __cplusplus
extern "C" {
#endif

/* Fit mode: (1 if a constant is fitted) + (2 if each reference has its own
 * shift). Parameter layout (0-based) and its length NPARM:
 *   0  M+1   [s, a1..aM]
 *   1  M+2   [c, s, a1..aM]
 *   2  2M    [a1, s1, ..., aM, sM]
 *   3  2M+1  [c, a1, s1, ..., aM, sM]
 * Shifts are in reference channels; intensities enter by absolute value. */
typedef int RefFitMode;

/* Outcome of CALCREFERENCEFIT: severity * 65536 + code. 0 and 0x20007 count as
 * a fit that succeeded. */
typedef int RefFitOutcome;
#define PELOMAR_CONVERGED 0x00000         /* converged */
#define PELOMAR_STEP_TOLERANCE 0x20007    /* scaled step tolerance satisfied */
#define PELOMAR_RELATIVE_FUNCTION 0x30001 /* relative function convergence */
#define PELOMAR_FALSE_CONVERGENCE 0x30002 /* iterates approach a non-critical point */
#define PELOMAR_MAX_STEPS 0x30006         /* five consecutive steps of the maximum length */
#define PELOMAR_ITERATION_LIMIT 0x40003   /* more than 100 iterations needed */
#define PELOMAR_EVALUATION_LIMIT 0x40004  /* more than 400 residual evaluations needed */
#define PELOMAR_JACOBIAN_LIMIT 0x40005    /* more than 100 Jacobian evaluations needed */
/* No solve, or a solve that did not finish: mode outside 0..3, NPARM that does
 * not fit the mode, fewer points than parameters, a fit not fully set up,
 * non-finite residuals at the start, no storage, or a stop request. */
#define PELOMAR_TERMINAL 0x50000

#if defined(_WIN32)
#define PELOMAR_API
#else
#define PELOMAR_API __attribute__((visibility("default")))
#endif

/* Keeps data (N values), N, M and the stop flag's address; frees the tables of
 * an earlier set-up and allocates tables for M references. Returns 0, or
 * non-zero when they cannot be allocated (or M < 0); no tables remain then.
 * A non-zero stop flag (written by another thread with an atomic exchange)
 * ends a running solve within one residual evaluation. */
PELOMAR_API int SETUPREFERENCEFIT(const double* data, const int* n, const int* m, int* stop);

/* Registers reference k (0..M-1; others are ignored): its NREF values, scale A
 * (reference channels per data channel), origin B (fractional reference
 * channel of data point 0 at zero shift) and energy STEP of its channels. The
 * reference may move 4 energy units beyond the stretch the data covers; every
 * further channel costs 1.0e8 per point. Call after SETUPREFERENCEFIT. */
PELOMAR_API void SETUPREFERENCE(const double* ref, const int* nref, const int* k, const double* a,
                                const double* b, const double* step);

/* One least-squares solve from the starting values in theta (NPARM values);
 * theta receives the last estimates and sse the residual sum of squares,
 * whatever the outcome. A refused call leaves both unchanged. */
PELOMAR_API RefFitOutcome CALCREFERENCEFIT(double* theta, const int* nparm, double* sse,
                                           const RefFitMode* mode);

/* Frees the reference tables. Harmless when repeated or before any set-up. */
PELOMAR_API void RELEASEREFERENCEMEMORY(void);

#ifdef __cplusplus
}
#endif
