" SPDX-License-Identifier: MIT
" Vexmora scripts: *.vx, Shift-JIS text. While such a file is read, CP932 is
" tried before UTF-8, so that its Japanese text shows as written.
autocmd BufNewFile,BufRead *.vx setfiletype vexmora
autocmd BufReadPre *.vx let s:vexmora_fencs = &fileencodings | set fileencodings=ucs-bom,cp932,utf-8
autocmd BufReadPost,FileReadPost *.vx
      \ if exists('s:vexmora_fencs') | let &fileencodings = s:vexmora_fencs | unlet s:vexmora_fencs | endif
