// Calls a function as an editor does that keeps its own values in the callee-saved registers
// across the call: known values go into rbx, rbp, rsi, rdi and r12 to r15 before the call, and
// what those registers hold after it is stored for the test to compare. The address the call
// returns to and the stack pointer at the call are public, so that a stack walk from inside the
// callee can tell when it has arrived back here. x86_64 only; its own unwind data lets an
// exception, and a walk, pass through it.

#if defined(__x86_64__)

  .data
  .globl RegisterProbeStackAtCall
  .p2align 3
RegisterProbeStackAtCall:
  .quad 0

  .text
// void CallHoldingRegisters(void (*call)(void*), void* context, const uint64_t held[8],
//                           uint64_t after[8]), the registers in the order rbx, rbp, rsi, rdi,
// r12, r13, r14, r15.
  .globl CallHoldingRegisters
  .def CallHoldingRegisters; .scl 2; .type 32; .endef
  .p2align 4
CallHoldingRegisters:
  .seh_proc CallHoldingRegisters
  pushq %rbx
  .seh_pushreg %rbx
  pushq %rbp
  .seh_pushreg %rbp
  pushq %rsi
  .seh_pushreg %rsi
  pushq %rdi
  .seh_pushreg %rdi
  pushq %r12
  .seh_pushreg %r12
  pushq %r13
  .seh_pushreg %r13
  pushq %r14
  .seh_pushreg %r14
  pushq %r15
  .seh_pushreg %r15
  subq $40, %rsp
  .seh_stackalloc 40
  .seh_endprologue
  movq %r9, 32(%rsp)
  movq %rcx, %rax
  movq %rdx, %rcx
  movq 0(%r8), %rbx
  movq 8(%r8), %rbp
  movq 16(%r8), %rsi
  movq 24(%r8), %rdi
  movq 32(%r8), %r12
  movq 40(%r8), %r13
  movq 48(%r8), %r14
  movq 56(%r8), %r15
  movq %rsp, RegisterProbeStackAtCall(%rip)
  callq *%rax
  .globl RegisterProbeReturn
RegisterProbeReturn:
  movq 32(%rsp), %rax
  movq %rbx, 0(%rax)
  movq %rbp, 8(%rax)
  movq %rsi, 16(%rax)
  movq %rdi, 24(%rax)
  movq %r12, 32(%rax)
  movq %r13, 40(%rax)
  movq %r14, 48(%rax)
  movq %r15, 56(%rax)
  addq $40, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rdi
  popq %rsi
  popq %rbp
  popq %rbx
  ret
  .seh_endproc

#endif
