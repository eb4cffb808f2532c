" SPDX-License-Identifier: MIT
" Vexmora scripts: Shift-JIS (CP932) text, comments with //.
if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1

" A new script is written as CP932; one read as something else (a UTF-8
" file) keeps its encoding.
if &l:fileencoding ==# ''
  setlocal fileencoding=cp932
endif
setlocal comments=:// commentstring=//\ %s
setlocal formatoptions-=t formatoptions+=croql
let b:undo_ftplugin = 'setlocal fileencoding< comments< commentstring< formatoptions<'
