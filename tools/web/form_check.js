// The page's second part, over window.kestrune: an installer's report (what
// kestrune-pack inspect lists), whether it is sound (verify), and its files
// as downloads (extract). Also where dropped files go.
'use strict';

(() => {
  const {$} = page;
  let fileUrls = [];

  function clearFiles() {
    fileUrls.forEach((url) => URL.revokeObjectURL(url));
    fileUrls = [];
    $('check-files').replaceChildren();
  }

  function showFiles(files) {
    for (const file of files) {
      const link = page.downloadLink(file.bytes, file.name);
      fileUrls.push(link.href);
      const item = document.createElement('li');
      item.append(link, ` (${file.bytes.length.toLocaleString('en')} bytes)`);
      $('check-files').append(item);
    }
  }

  function showReport(report, warnings) {
    const verdict = $('check-verdict');
    if (report.sound) {
      verdict.className = 'good';
      verdict.textContent = `Sound: ${report.verdict.replace(/^.*?: ok \(/, '').replace(/\)$/, '')}.`;
    } else {
      verdict.className = 'bad';
      const what = report.kind === 'package' ? 'Damaged' : report.kind === 'unfilled stub' ? 'Not an installer'
          : 'Not a Kestrune installer';
      verdict.textContent = `${what}: ${report.problems.join('; ')}`;
    }
    const lines = [...report.listing, ...(warnings || []).map((warning) => `warning: ${warning}`)];
    $('check-listing').textContent = lines.join('\n');
    $('check-listing').hidden = false;
  }

  async function check(file) {
    const bar = $('check-progress');
    const verdict = $('check-verdict');
    clearFiles();
    $('check-listing').hidden = true;
    verdict.className = '';
    const options = {
      name: file.name,
      codepage: Number($('check-codepage').value),
      force: $('check-force').checked,
      onProgress: (phase, done, total) => page.showProgress(bar, verdict, phase, done, total),
    };
    try {
      const extracted = await kestrune.extract(file, options);
      showReport(extracted.report, extracted.warnings);
      showFiles(extracted.files);
    } catch (error) {
      if (error.report) {
        showReport(error.report);
      } else {
        verdict.className = 'bad';
        verdict.textContent = `Not read: ${error.message}`;
      }
    } finally {
      bar.hidden = true;
    }
  }

  let checked = null;  // the installer last chosen, read again when an option changes
  function checkFile(file) {
    checked = file;
    if (file) check(file);
  }

  // Shows a dropped file in its input, where the browser lets a page do that.
  function showInInput(input, file) {
    try {
      const transfer = new DataTransfer();
      transfer.items.add(file);
      input.files = transfer.files;
    } catch (error) {
      // The input keeps its old text; the page still uses the file.
    }
  }

  // Files dropped on a file's row go there; on the build part they fill the
  // empty rows in order; an .exe dropped elsewhere is checked.
  function drop(event) {
    event.preventDefault();
    document.querySelectorAll('.dragging').forEach((element) => element.classList.remove('dragging'));
    const files = [...event.dataTransfer.files];
    if (!files.length) return;
    const row = event.target.closest && event.target.closest('.file');
    const inBuild = event.target.closest && event.target.closest('#build');
    const inCheck = event.target.closest && event.target.closest('#check');
    if (inCheck || (!inBuild && files.length === 1 && /\.exe$/i.test(files[0].name))) {
      showInInput($('check-file'), files[0]);
      checkFile(files[0]);
      return;
    }
    let roles = page.ROLES.filter((role) => !page.chosen[role]);
    if (row) roles = [row.dataset.role, ...page.ROLES.filter((role) => role !== row.dataset.role)];
    files.slice(0, roles.length).forEach((file, i) => {
      showInInput($(`${roles[i]}-file`), file);
      page.setFile(roles[i], file);
    });
  }

  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    const section = event.target.closest && event.target.closest('section.drop');
    document.querySelectorAll('section.drop').forEach((element) => element.classList.toggle('dragging', element === section));
  });
  document.addEventListener('dragleave', (event) => {
    if (!event.relatedTarget) document.querySelectorAll('.dragging').forEach((element) => element.classList.remove('dragging'));
  });
  document.addEventListener('drop', drop);
  $('check-file').addEventListener('change', (event) => checkFile(event.target.files[0] || null));
  for (const id of ['check-codepage', 'check-force']) $(id).addEventListener('change', () => checkFile(checked));
  page.start();
})();
