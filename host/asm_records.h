// Included first by the module's records written in assembly (host/load_config.S,
// host/tls_directory.S): C names and pointers at each architecture's width, and the mark that
// tells the linker how the including object was built.

#if defined(__x86_64__)
#define SYMBOL(name) name
#define POINTER .quad
#define POINTER_ALIGN 3
#elif defined(__i386__)
// 32-bit C names carry a leading underscore.
#define SYMBOL(name) _##name
#define POINTER .long
#define POINTER_ALIGN 2
#else
#error "records for x86 and x86_64 only"
#endif

// Fails the assembly if a record's next field would not start at `offset` from `record`: the
// loader reads these records by fixed offsets, at each architecture's width.
.macro field_at record, offset
  .if . - \record - \offset
    .error "record field misplaced"
  .endif
.endm

// Built for Control Flow Guard (and, on x86, registering no exception handler): without the mark
// the linker would take every function the object names for a call target.
  .def @feat.00
  .scl 3
  .type 0
  .endef
  .globl @feat.00
#if defined(__i386__)
  .set @feat.00, 0x801
#else
  .set @feat.00, 0x800
#endif
