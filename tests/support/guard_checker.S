// Control Flow Guard's checker and dispatcher as a test installs them in a module, the way the
// Windows loader does: each asks GuardCheckTarget about the target of an indirect call, which
// ends the process at once when the target is not allowed, and otherwise lets the call go on
// with every register it may carry as the caller left it. Their unwind data lets a walk or an
// exception pass through them on x86_64.

#if defined(__x86_64__)

  .text
// The checker: the target in rcx; returns when it may be called.
  .globl EnforcingGuardCheck
  .p2align 4
EnforcingGuardCheck:
  .seh_proc EnforcingGuardCheck
  pushq %rbp
  .seh_pushreg %rbp
  movq %rsp, %rbp
  .seh_setframe %rbp, 0
  .seh_endprologue
  subq $0xC0, %rsp
  andq $-16, %rsp
  movq %rax, 0x20(%rsp)
  movq %rcx, 0x28(%rsp)
  movq %rdx, 0x30(%rsp)
  movq %r8, 0x38(%rsp)
  movq %r9, 0x40(%rsp)
  movq %r10, 0x48(%rsp)
  movq %r11, 0x50(%rsp)
  movdqa %xmm0, 0x60(%rsp)
  movdqa %xmm1, 0x70(%rsp)
  movdqa %xmm2, 0x80(%rsp)
  movdqa %xmm3, 0x90(%rsp)
  call GuardCheckTarget
  movq 0x20(%rsp), %rax
  movq 0x28(%rsp), %rcx
  movq 0x30(%rsp), %rdx
  movq 0x38(%rsp), %r8
  movq 0x40(%rsp), %r9
  movq 0x48(%rsp), %r10
  movq 0x50(%rsp), %r11
  movdqa 0x60(%rsp), %xmm0
  movdqa 0x70(%rsp), %xmm1
  movdqa 0x80(%rsp), %xmm2
  movdqa 0x90(%rsp), %xmm3
  movq %rbp, %rsp
  popq %rbp
  ret
  .seh_endproc

// The dispatcher: the target in rax; checks it, then jumps to it.
  .globl EnforcingGuardDispatch
  .p2align 4
EnforcingGuardDispatch:
  .seh_proc EnforcingGuardDispatch
  pushq %rcx
  .seh_stackalloc 8
  .seh_endprologue
  movq %rax, %rcx
  call EnforcingGuardCheck
  popq %rcx
  jmp *%rax
  .seh_endproc

#elif defined(__i386__)

  .text
// The checker: the target in ecx; returns when it may be called.
  .globl _EnforcingGuardCheck
  .p2align 4
_EnforcingGuardCheck:
  pushl %eax
  pushl %ecx
  pushl %edx
  pushl %ecx
  call _GuardCheckTarget
  addl $4, %esp
  popl %edx
  popl %ecx
  popl %eax
  ret

#endif
