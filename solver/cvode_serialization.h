#ifndef cvode_serializationH
#define cvode_serializationH

/* Snapshots of CVODE's internal state as flat byte blocks, for FMU states: the integrator block,
   the direct linear-solver block and the Krylov linear-solver block. Native byte order, no
   padding; the data pointer advances past what is written or read. A block is restored only into
   an integrator initialised for the same problem: magic, version, method, tolerance kind, unit
   roundoff, every stored length and size (also lrw1 and liw1, the workspace of one vector) are
   checked before anything is changed, and so is every stored value: the settings the integrator
   was initialised with (tolerances, initial, minimum and maximum step, maximum order and steps,
   iteration and failure limits, nonlinear and linear convergence factors, the Krylov norm factor)
   must equal the target's own, orders and pivots lie within their ranges, counters agree with
   each other, step sizes leave CVODE room to grow and reals are finite where CVODE steps with
   them. A refused block changes nothing.

   A reader reads at most the block size of its target (the ...SerializationSize of the same
   memory): a caller that has checked that many bytes remain cannot be read past its buffer.

   Return values: the block's size in bytes, or
     -1 wrong magic number (the pointer has advanced by 8 bytes),
     -2 unsupported version (the pointer has advanced by 8 bytes),
     -3 the block does not fit the target (nothing changed, the pointer unmoved),
     -4 no CVODE memory, no (matching) linear-solver module attached, or no data pointer (a null
        dataPtr, or one pointing to null: nothing is written or read),
     -5 a stored value is out of its range or disagrees with the others (nothing changed, the
        pointer unmoved),
     -6 a stored setting differs from the target's own (nothing changed, the pointer unmoved). */

#ifdef __cplusplus
extern "C" {
#endif

/* "FMI2" read as a big-endian number. */
#define CV_SERIALIZATION_MAGIC		0x464D4932u
#define CV_SERIALIZATION_VERSION	1u

/* Tolerance kinds of CVODE's memory record (itol); CVODE keeps these values private. */
#define CV_ITOL_SS	1	/* scalar relative and absolute tolerance */
#define CV_ITOL_SV	2	/* scalar relative, vector absolute tolerance */

long CVodeSerializationSize(void * cvode_mem);
long CVodeSerialize(void * cvode_mem, void ** dataPtr);
/* Before reading into an integrator that never stepped, the set-up CVODE defers to its first
   step is run, so that stepping can go on from the restored state. */
long CVodeDeserialize(void * cvode_mem, void ** dataPtr);

/* Direct (matrix-based: dense or band) linear-solver block. */
long CVDlsSerializationSize(void * cvode_mem);
long CVDlsSerialize(void * cvode_mem, void ** dataPtr);
long CVDlsDeserialize(void * cvode_mem, void ** dataPtr);

/* Krylov linear-solver block, always 96 bytes. */
long CVSpilsSerializationSize(void * cvode_mem);
long CVSpilsSerialize(void * cvode_mem, void ** dataPtr);
long CVSpilsDeserialize(void * cvode_mem, void ** dataPtr);

/* Gives the parts of CVODE's state that it leaves uninitialised until its first step defined
   values (zero vectors zn[1..], ewt, acor, tempv, ftemp; pivots without row exchanges), so that a
   snapshot holds no stale heap bytes and two snapshots of one state are identical. Call after
   CVodeInit and after attaching a linear solver; does nothing once the integrator has stepped.
   Returns 0, or -4 without CVODE memory. */
int CVodeSerializationPrepare(void * cvode_mem);

/* The walkers behind the public functions: mode 0 write, 1 read, 2 size, 3 check (validates a
   stored block like a read, changing nothing). */
long CVodeSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode);
long CVDlsSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode);
long CVSpilsSerializationPrivate(void * cvode_mem, void ** dataPtr, int mode);

#ifdef __cplusplus
}
#endif

#endif /* cvode_serializationH */
