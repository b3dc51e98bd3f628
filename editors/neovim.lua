-- mlinsight in Neovim 0.7 and later: put this in init.lua, with mlinsight on
-- the PATH (or its full path in cmd). One server serves every buffer of
-- these types; <C-x><C-o> asks it.
vim.cmd([[autocmd BufRead,BufNewFile *.aspx,*.ascx,*.master set filetype=aspx]])
vim.cmd([[autocmd BufRead,BufNewFile *.resx set filetype=resx]])
local mlinsight
vim.api.nvim_create_autocmd("FileType", {
  pattern = { "html", "xhtml", "xml", "xslt", "css", "scss", "less", "wml", "svg", "aspx", "resx", "php", "jsp" },
  callback = function(args)
    mlinsight = mlinsight or vim.lsp.start_client({ name = "mlinsight", cmd = { "mlinsight", "lsp" } })
    vim.lsp.buf_attach_client(args.buf, mlinsight)
    vim.bo[args.buf].omnifunc = "v:lua.vim.lsp.omnifunc"
  end,
})
