var box = document.getElementById('box');
window.addEventListener('keydown', function (e) {
  e.preventDefault();
  if (e.key.length === 1) box.textContent = e.key;
});
