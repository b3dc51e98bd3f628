;;; complete.el --- drives Emacs's eglot as a user's editor would  -*- lexical-binding: t -*-
;; Attach mlinsight through eglot, type MLI_TYPE at a position as keys (so
;; eglot's on-type formatting runs), then, given MLI_LABEL, complete there and
;; accept that candidate the way `completion-at-point' does, and write the
;; buffer to MLI_OUT. Environment: MLI_EXE, MLI_FILE, MLI_LINE and MLI_COL
;; (0-based, characters), MLI_TYPE, MLI_LABEL, MLI_OUT. Exits 0 when the
;; buffer was written, else 1 with a line on stderr.
(require 'package)
(setq package-directory-list '("/usr/share/emacs/site-lisp/elpa"))
(package-initialize)
(require 'eglot)

(defun mli-fail (msg)
  (princ (concat msg "\n") #'external-debugging-output)
  (kill-emacs 1))

(setq eglot-sync-connect 20 eglot-connect-timeout 30)
(add-to-list 'eglot-server-programs
             `((html-mode mhtml-mode css-mode) . (,(getenv "MLI_EXE") "lsp")))
(find-file (getenv "MLI_FILE"))
(condition-case err (apply #'eglot (eglot--guess-contact))
  (error (mli-fail (format "the server did not start: %S" err))))
(unless (eglot-managed-p) (mli-fail "eglot does not manage the buffer"))
(goto-char (point-min))
(forward-line (string-to-number (getenv "MLI_LINE")))
(forward-char (string-to-number (getenv "MLI_COL")))
;; Keys as typed: self-insert runs eglot's post-self-insert hook.
(dolist (key (string-to-list (or (getenv "MLI_TYPE") "")))
  (let ((last-command-event key) (last-input-event key))
    (self-insert-command 1)))
(let ((label (or (getenv "MLI_LABEL") "")))
  (unless (string-empty-p label)
    (let* ((capf (eglot-completion-at-point))
           (start (nth 0 capf)) (end (nth 1 capf)) (table (nth 2 capf))
           (exit (plist-get (nthcdr 3 capf) :exit-function))
           (word (buffer-substring-no-properties start end))
           (chosen (seq-find (lambda (c) (string= c label)) (all-completions word table))))
      (unless chosen
        (mli-fail (format "no candidate %s for %S among %S" label word
                          (seq-take (all-completions word table) 20))))
      (delete-region start end)
      (goto-char start)
      (insert chosen)
      (when exit (funcall exit chosen 'finished)))))
(let ((coding-system-for-write 'utf-8-unix))
  (write-region (point-min) (point-max) (getenv "MLI_OUT")))
(ignore-errors (eglot-shutdown (eglot-current-server)))
(kill-emacs 0)
