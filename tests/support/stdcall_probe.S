# int32_t StackDriftAfterCall(void* function, const uint32_t* args, int32_t count)
# Pushes `count` 32-bit arguments (the last first), calls `function`, and returns how far the
# stack pointer ended up from where it was before the pushes: 0 when the callee removed exactly
# its arguments, as __stdcall requires.
  .text
  .globl _StackDriftAfterCall
_StackDriftAfterCall:
  pushl %ebp
  movl %esp, %ebp
  pushl %esi
  pushl %edi
  pushl %ebx
  movl 12(%ebp), %esi
  movl 16(%ebp), %ecx
  movl %esp, %edi
1:
  testl %ecx, %ecx
  jz 2f
  decl %ecx
  pushl (%esi,%ecx,4)
  jmp 1b
2:
  call *8(%ebp)
  movl %esp, %eax
  subl %edi, %eax
  movl %edi, %esp
  popl %ebx
  popl %edi
  popl %esi
  popl %ebp
  ret
